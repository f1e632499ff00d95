// A small DOM over libxml2 for the catalog and other XML files the program edits in place.
// Loading is synchronous and reports the parser's error with url, reason, line, position in the
// line and the offending source line. Saving serialises the whole document back with the
// declaration and encoding the loaded file carried (a windows-1251 catalog stays windows-1251,
// a file without a declaration gets none, CR LF line ends stay CR LF), keeps every attribute and
// element it does not know, and replaces the file atomically.
//
// XmlElement is a non-owning handle into its document: valid while the document lives and the
// element has not been removed. Thread contract: a document and its handles belong to one thread.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <memory>

namespace platform {

class XmlDocument;

class XmlElement {
public:
    XmlElement() = default;
    bool isNull() const { return FNode == nullptr; }
    bool operator==(const XmlElement& other) const { return FNode == other.FNode; }

    QString tagName() const;
    // Attributes in document order, as (name, value).
    QList<QPair<QString, QString>> attributes() const;
    bool hasAttribute(const QString& name) const;
    QString attribute(const QString& name) const;  // "" when missing
    void setAttribute(const QString& name, const QString& value);

    // Child elements in document order; text, comments and processing instructions are skipped.
    QList<XmlElement> childElements() const;
    XmlElement parentElement() const;  // null for the document element
    // Every element below this one with the tag, in document order (depth first).
    QList<XmlElement> elementsByTagName(const QString& tag) const;

    void appendChild(XmlElement child);  // child made by createElement of the same document
    void removeChild(XmlElement child);  // frees child with its subtree; its handles die

private:
    friend class XmlDocument;
    explicit XmlElement(void* node) : FNode(node) {}
    void* FNode = nullptr;  // xmlNodePtr
};

struct XmlParseError {
    int errorCode = 0;  // 0 = no error
    QString url;        // the loaded file's location
    QString reason;
    int line = 0;     // 1-based; 0 when unknown
    int linepos = 0;  // 1-based position in the line; 0 when unknown
    QString srcText;  // the offending source line, when the line is known
};

class XmlDocument {
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Loads the file; false on any failure (missing file included), with parseError() filled.
    bool load(const QString& path);
    // Parses bytes; url is what parse errors name.
    bool loadFromBytes(const QByteArray& bytes, const QString& url);
    const XmlParseError& parseError() const { return FError; }

    XmlElement documentElement() const;  // null when nothing is loaded
    XmlElement createElement(const QString& tag);

    QByteArray toBytes() const;  // the serialised document, as save() writes it
    // Writes toBytes() atomically to path. Throws EFileError (reason text) on failure.
    void save(const QString& path) const;

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
    XmlParseError FError;
};

}  // namespace platform
