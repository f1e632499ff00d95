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
    if (!registry.OpenKeyReadOnly(kLanguageKey))
        return;
    try {
        if (FDispatcher.setActiveLanguage(registry.ReadInteger(kLanguageValue)))
            return;
    } catch (const platform::Exception&) {
        // missing or not an integer: mended below
    }
    FDispatcher.setActiveLanguage(1);
    try {
        StoreActiveLanguage(1);
    } catch (const platform::Exception&) {
        // A read-only machine hive: language 1 serves this run all the same.
    }
}

void TLanguages::StoreActiveLanguage(int number) {
    Registry registry(RootKey::HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey(kLanguageKey, true))
        throw platform::ERegistryException(
            QStringLiteral("Failed to create key %1").arg(kLanguageKey));
    registry.WriteInteger(kLanguageValue, number);
}
