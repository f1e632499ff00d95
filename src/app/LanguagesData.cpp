#include "app/LanguagesData.h"

#include "app/ZarinLangData.h"
#include "platform/AppPaths.h"
#include "platform/Exception.h"
#include "platform/Registry.h"

using platform::Registry;
using platform::RootKey;

TLanguages* Languages = nullptr;
const QString TLanguages::kLanguageKey = QStringLiteral("SOFTWARE\\TAMUR\\ZARIN_PRO\\Vellumar");
const QString TLanguages::kLanguageValue = QStringLiteral("LangActive");

TLanguages::TLanguages(QObject* parent)
    : QObject(parent), FDispatcher(builtInLanguageNames(), kDefaultLanguage) {
    setObjectName("Languages");
    FDispatcher.setFileName(
        platform::resolvePathIgnoringCase(platform::appDir(), "Lang/Vellumar_lang.sib"));
    platform::LangDispatcher::install(&FDispatcher);
    LoadActiveLanguage();
    if (ZarinLang)
        ZarinLang->dispatcher().setActiveLanguage(FDispatcher.activeLanguage());
    Languages = this;
}

TLanguages::~TLanguages() {
    if (platform::LangDispatcher::installed() == &FDispatcher)
        platform::LangDispatcher::install(nullptr);
    if (Languages == this)
        Languages = nullptr;
}

// Without the program's key nothing is read or written and the built-in default stays; with it,
// a missing, mistyped or unknown language number is mended to the first language.
void TLanguages::LoadActiveLanguage() {
    Registry registry(RootKey::HKEY_LOCAL_MACHINE);
    if (!registry.KeyExists(kLanguageKey))
        return;
    bool activated = false;
    try {
        if (registry.OpenKey(kLanguageKey, false))
            activated = FDispatcher.setActiveLanguage(registry.ReadInteger(kLanguageValue));
    } catch (const platform::Exception&) {
        activated = false;
    }
    if (activated)
        return;
    FDispatcher.setActiveLanguage(1);
    try {
        if (registry.OpenKey(kLanguageKey, true))
            registry.WriteInteger(kLanguageValue, 1);
    } catch (const platform::Exception&) {
        // A read-only machine hive: language 1 is active for this run all the same.
    }
}

void TLanguages::StoreActiveLanguage(int number) {
    Registry registry(RootKey::HKEY_LOCAL_MACHINE);
    if (registry.OpenKey(kLanguageKey, true))
        registry.WriteInteger(kLanguageValue, number);
}
