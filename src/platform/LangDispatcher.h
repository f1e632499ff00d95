// Translation of window texts. Every window keeps its texts in one StringTable under string keys
// ("IDS_1", "ItemServer.Caption", ...), with the built-in Russian texts in the source. The
// program's LangDispatcher knows the languages (numbered from 1), which one is active, and the
// texts a language file supplies; a text missing from the file falls back to the built-in one.
//
// Language file format (UTF-8, our own):
//   ; comment                      # comment
//   [Languages]                    1=Русский        (optional: renames a language)
//   [<window>]                     <key>.<language number>=<text>
// Texts may use \n, \r, \t and \\ escapes. Unknown sections and lines are ignored.
//
// Thread contract: UI thread. The installed dispatcher must outlive every lookup.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <optional>
#include <utility>

namespace platform {

// What a language file holds, parsed (pure; fuzzed).
struct LangFileContents {
    QHash<int, QString> languageNames;
    QHash<QString, QHash<int, QString>> texts;  // "<window>\n<key>" -> number -> text
    static QString slot(const QString& window, const QString& key) { return window + '\n' + key; }
};
LangFileContents parseLangFile(const QByteArray& bytes);

class LangDispatcher {
public:
    LangDispatcher(QStringList languageNames, int defaultLanguage);

    // Points the dispatcher at a language file and loads it. A missing file leaves no file texts;
    // false when the file exists but cannot be read.
    bool setFileName(const QString& path);
    const QString& fileName() const { return FFileName; }

    int languageCount() const { return int(FLanguageNames.size()); }
    QString languageName(int number) const;  // 1-based
    int activeLanguage() const { return FActive; }
    bool setActiveLanguage(int number);  // false (nothing changes) when there is no such language

    // The file's text for the active language, if any.
    std::optional<QString> fileText(const QString& window, const QString& key) const;

    // The dispatchers that StringTables consult (nullptr: built-in texts only). Window texts and
    // the common texts of dialogs and message boxes have a dispatcher and a file each.
    enum class Scope { Windows, Common };
    static void install(LangDispatcher* dispatcher, Scope scope = Scope::Windows);
    static LangDispatcher* installed(Scope scope = Scope::Windows);

private:
    QStringList FLanguageNames;
    int FActive;
    QString FFileName;
    LangFileContents FFile;
};

// One window's texts.
class StringTable {
public:
    StringTable(QString window, std::initializer_list<std::pair<const char*, const char*>> builtIn,
                LangDispatcher::Scope scope = LangDispatcher::Scope::Windows);

    const QString& window() const { return FWindow; }
    // The text of key in the active language; the built-in text when the language has none; the
    // key itself when even that is missing (a visible sign of a typo, never an empty label).
    QString operator()(const QString& key) const;
    QString builtIn(const QString& key) const;
    bool contains(const QString& key) const { return FBuiltIn.contains(key); }

private:
    QString FWindow;
    QHash<QString, QString> FBuiltIn;
    LangDispatcher::Scope FScope;
};

}  // namespace platform
