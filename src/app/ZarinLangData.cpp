#include "app/ZarinLangData.h"

#include <QFileInfo>

#include "app/LanguagesData.h"
#include "platform/AppPaths.h"

TZarinLang* ZarinLang = nullptr;

TZarinLang::TZarinLang(QObject* parent)
    : QObject(parent),
      FDispatcher(TLanguages::builtInLanguageNames(), TLanguages::kDefaultLanguage) {
    setObjectName("ZarinLang");
    const QString file =
        platform::resolvePathIgnoringCase(platform::appDir(), "lang/ZarinLang.sib");
    // A broken common language file must never stop the program: the built-in texts serve.
    if (QFileInfo::exists(file) && !FDispatcher.setFileName(file))
        FDispatcher.setFileName(QString());
    platform::LangDispatcher::install(&FDispatcher, platform::LangDispatcher::Scope::Common);
}

TZarinLang::~TZarinLang() {
    if (platform::LangDispatcher::installed(platform::LangDispatcher::Scope::Common) ==
        &FDispatcher)
        platform::LangDispatcher::install(nullptr, platform::LangDispatcher::Scope::Common);
    if (ZarinLang == this)
        ZarinLang = nullptr;
}

TZarinLang* CreateZarinLang() {
    if (!ZarinLang)
        ZarinLang = new TZarinLang;
    return ZarinLang;
}
