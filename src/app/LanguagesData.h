// The translation dispatcher of all windows, with the two languages of the program and the
// language file "Lang/Vellumar_lang.sib" beside the executable. Its creation picks the active
// language from the machine registry ("LangActive").
// Created once at start-up; lives until the program ends. Thread contract: UI thread.
#pragma once

#include <QObject>
#include <QStringList>

#include "platform/LangDispatcher.h"

class TLanguages : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultLanguage = 2;
    static QStringList builtInLanguageNames() { return {"Русский", "English"}; }
    static const QString kLanguageKey;    // "SOFTWARE\TAMUR\ZARIN_PRO\Vellumar"
    static const QString kLanguageValue;  // "LangActive"

    explicit TLanguages(QObject* parent = nullptr);
    ~TLanguages() override;

    platform::LangDispatcher& siLangDispatcher() { return FDispatcher; }

    // Remembers the language for the next start (the running program keeps its language).
    static void StoreActiveLanguage(int number);

private:
    void LoadActiveLanguage();
    platform::LangDispatcher FDispatcher;
};

extern TLanguages* Languages;
