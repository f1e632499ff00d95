#include "platform/LangDispatcher.h"

#include <QFile>
#include <QFileInfo>

namespace platform {
namespace {

LangDispatcher*& installedDispatcher(LangDispatcher::Scope scope) {
    static LangDispatcher* windows = nullptr;
    static LangDispatcher* common = nullptr;
    return scope == LangDispatcher::Scope::Windows ? windows : common;
}

QString unescape(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text[++i];
        switch (next.unicode()) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            default:
                out += next;  // "\\" and any other escaped character stand for themselves
        }
    }
    return out;
}

// "IDS_1.2" -> ("IDS_1", 2); nullopt when there is no numeric language suffix.
std::optional<std::pair<QString, int>> splitKey(QStringView key) {
    const qsizetype dot = key.lastIndexOf('.');
    if (dot <= 0)
        return std::nullopt;
    bool ok = false;
    const int number = key.mid(dot + 1).toInt(&ok);
    if (!ok || number < 1)
        return std::nullopt;
    return std::make_pair(key.left(dot).toString(), number);
}

}  // namespace

LangFileContents parseLangFile(const QByteArray& bytes) {
    LangFileContents contents;
    QString section;
    const QString text = QString::fromUtf8(bytes);
    for (QStringView line : QStringView(text).split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            section = line.mid(1, line.size() - 2).trimmed().toString();
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0 || section.isEmpty())
            continue;
        const QStringView key = line.left(eq).trimmed();
        const QString value = unescape(line.mid(eq + 1).trimmed());
        if (section.compare(QLatin1String("Languages"), Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const int number = key.toInt(&ok);
            if (ok && number >= 1)
                contents.languageNames[number] = value;
            continue;
        }
        if (auto split = splitKey(key))
            contents.texts[LangFileContents::slot(section, split->first)][split->second] = value;
    }
    return contents;
}

LangDispatcher::LangDispatcher(QStringList languageNames, int defaultLanguage)
    : FLanguageNames(std::move(languageNames)), FActive(defaultLanguage) {}

bool LangDispatcher::setFileName(const QString& path) {
    FFileName = path;
    FFile = {};
    if (!QFileInfo::exists(path))
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    FFile = parseLangFile(file.readAll());
    for (auto it = FFile.languageNames.cbegin(); it != FFile.languageNames.cend(); ++it) {
        if (it.key() <= FLanguageNames.size())
            FLanguageNames[it.key() - 1] = it.value();
    }
    return true;
}

QString LangDispatcher::languageName(int number) const {
    return number >= 1 && number <= FLanguageNames.size() ? FLanguageNames[number - 1] : QString();
}

bool LangDispatcher::setActiveLanguage(int number) {
    if (number < 1 || number > FLanguageNames.size())
        return false;
    FActive = number;
    return true;
}

std::optional<QString> LangDispatcher::fileText(const QString& window, const QString& key) const {
    const auto slot = FFile.texts.constFind(LangFileContents::slot(window, key));
    if (slot == FFile.texts.cend())
        return std::nullopt;
    const auto text = slot->constFind(FActive);
    if (text == slot->cend())
        return std::nullopt;
    return *text;
}

void LangDispatcher::install(LangDispatcher* dispatcher, Scope scope) {
    installedDispatcher(scope) = dispatcher;
}
LangDispatcher* LangDispatcher::installed(Scope scope) {
    return installedDispatcher(scope);
}

StringTable::StringTable(QString window,
                         std::initializer_list<std::pair<const char*, const char*>> builtIn,
                         LangDispatcher::Scope scope)
    : FWindow(std::move(window)), FScope(scope) {
    for (const auto& [key, text] : builtIn)
        FBuiltIn.insert(QString::fromUtf8(key), QString::fromUtf8(text));
}

QString StringTable::operator()(const QString& key) const {
    if (const LangDispatcher* d = LangDispatcher::installed(FScope)) {
        if (auto text = d->fileText(FWindow, key))
            return *text;
    }
    const auto it = FBuiltIn.constFind(key);
    return it != FBuiltIn.cend() ? *it : key;
}

QString StringTable::builtIn(const QString& key) const {
    return FBuiltIn.value(key);
}

}  // namespace platform
