// The common translation module: the texts of standard dialogs and message boxes (button and
// caption texts), with their own language file "lang/ZarinLang.sib" beside the executable.
// Created once, first of all modules; lives until the program ends.
// Thread contract: UI thread.
#pragma once

#include <QObject>

#include "platform/LangDispatcher.h"

class TZarinLang : public QObject {
    Q_OBJECT
public:
    explicit TZarinLang(QObject* parent = nullptr);
    ~TZarinLang() override;

    platform::LangDispatcher& dispatcher() { return FDispatcher; }

private:
    platform::LangDispatcher FDispatcher;
};

// Creates the module unless it exists; returns it.
TZarinLang* CreateZarinLang();
extern TZarinLang* ZarinLang;
