// The Pascal script engine against embedded Lua 5.4 on the same three programs (bench/pascal and
// bench/lua): an integer loop, string building with cut, search and concatenation, and a million
// calls of a small recursive function. Each program is compiled once; only the runs are timed.
// Both languages must compute the same result, or the benchmark reports an error.
#include "reportengine/script/Script.h"

#include <benchmark/benchmark.h>
#include <QFile>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include <memory>
#include <string>

namespace {

QString ProgramText(const char* relative) {
    QFile file(QStringLiteral(VELLUMAR_SOURCE_DIR "/bench/") + relative);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// The results both languages must reach.
const struct {
    const char* Name;
    int64_t Expected;
} Programs[] = {{"int_loop", 16666667}, {"string_build", 2600000}, {"fib_calls", 317811}};

void Pascal(benchmark::State& state, int program) {
    const auto& p = Programs[program];
    script::Script script;
    try {
        script.Compile(ProgramText((std::string("pascal/") + p.Name + ".pas").c_str()));
    } catch (const script::EScriptError& e) {
        state.SkipWithError(e.Message().toStdString().c_str());
        return;
    }
    for (auto _ : state) {
        script.Run();
        if (script.Global("Total").ToInt64() != p.Expected) {
            state.SkipWithError("wrong result");
            return;
        }
    }
}

void Lua(benchmark::State& state, int program) {
    const auto& p = Programs[program];
    std::unique_ptr<lua_State, void (*)(lua_State*)> L(luaL_newstate(), lua_close);
    luaL_openlibs(L.get());
    const std::string source =
        ProgramText((std::string("lua/") + p.Name + ".lua").c_str()).toStdString();
    if (source.empty() || luaL_loadstring(L.get(), source.c_str()) != LUA_OK) {
        state.SkipWithError("the Lua program does not load");
        return;
    }
    const int chunk = luaL_ref(L.get(), LUA_REGISTRYINDEX);
    for (auto _ : state) {
        lua_rawgeti(L.get(), LUA_REGISTRYINDEX, chunk);
        if (lua_pcall(L.get(), 0, 1, 0) != LUA_OK || lua_tointeger(L.get(), -1) != p.Expected) {
            state.SkipWithError("wrong result");
            return;
        }
        lua_pop(L.get(), 1);
    }
}

}  // namespace

BENCHMARK_CAPTURE(Pascal, int_loop, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Lua, int_loop, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pascal, string_build, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Lua, string_build, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pascal, fib_calls, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Lua, fib_calls, 2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
