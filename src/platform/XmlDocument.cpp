// The XML document wrapper over libxml2.
//
// Round trip. The file is read as bytes and parsed from memory, keeping every blank, comment,
// processing instruction and entity reference, so that serialising the untouched tree gives the
// source back byte for byte for files in libxml2's own layout (double-quoted attributes, "<a/>"
// for empty elements, one line end after the declaration). What libxml2 does not remember is
// noted at load and put back at save: whether there was a declaration at all, a UTF-8 byte order
// mark, CR LF line ends, and a declaration without an encoding attribute. Characters that the
// file's encoding cannot hold (a name outside windows-1251 in a windows-1251 catalog) are
// written as character references, so nothing is lost. Output in any encoding but UTF-8 is read
// back and compared before it is handed out: libxml2 reaches some unusual spellings of encoding
// names through ICU, whose converter drops such characters instead; toBytes() then returns
// nothing and save() refuses with an error rather than write a file that says something else.
//
// Layout of edits. appendChild and removeChild look after the blanks around the element they
// touch when the parent is laid out one child per line: a new child gets its own line with the
// indentation of its siblings (or one step deeper than its parent), and a removed child takes
// its line with it. A parent written on one line is left on one line.
//
// Parse errors. The first error the parser raises (namespace complaints aside, which do not stop
// the load) fills XmlParseError: libxml2's error code, the url, its message, line and column,
// and the offending line of the source decoded from the file's declared encoding (cut at
// kMaxSourceLine characters: a one-line file of megabytes must not become a message box). A
// file that cannot be read is a parse error too: code XML_IO_LOAD_ERROR, line 0, and the reason
// "Файл не найден" when it does not exist, otherwise the system's own text.
#include "platform/XmlDocument.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <climits>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"

namespace platform {

namespace {

constexpr char kFileNotFound[] = "Файл не найден";
constexpr char kTooLarge[] = "Файл слишком велик";
constexpr char kNothingLoaded[] = "Документ не загружен";
constexpr char kCannotSerialise[] = "Не удалось записать документ в кодировке ";

constexpr qsizetype kMaxSourceLine = 1000;

const QByteArray kUtf8Bom("\xEF\xBB\xBF", 3);

xmlNodePtr nodeOf(void* node) {
    return static_cast<xmlNodePtr>(node);
}

const xmlChar* xmlText(const QByteArray& utf8) {
    return reinterpret_cast<const xmlChar*>(utf8.constData());
}

QString fromXml(const xmlChar* text) {
    return text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : QString();
}

// A name as written in the document: prefix:local when the node has a namespace prefix.
QString qualifiedName(const xmlChar* name, xmlNsPtr ns) {
    QString local = fromXml(name);
    if (ns && ns->prefix)
        return fromXml(ns->prefix) + ':' + local;
    return local;
}

QString attrValue(xmlAttrPtr attr) {
    xmlChar* content = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attr));
    QString value = fromXml(content);
    xmlFree(content);
    return value;
}

xmlAttrPtr findAttr(xmlNodePtr node, const QString& name) {
    for (xmlAttrPtr attr = node->properties; attr; attr = attr->next)
        if (qualifiedName(attr->name, attr->ns) == name)
            return attr;
    return nullptr;
}

// XML 1.0 cannot carry every UTF-16 code unit: control characters and unpaired surrogates would
// make a file the parser refuses next time, so they are replaced before they reach the tree.
QByteArray toXmlUtf8(const QString& text) {
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            clean.append(c);
            clean.append(text.at(++i));
        } else if (c.isSurrogate() || (u < 0x20 && u != '\t' && u != '\n' && u != '\r') ||
                   u == 0xFFFE || u == 0xFFFF) {
            clean.append(QChar(QChar::ReplacementCharacter));
        } else {
            clean.append(c);
        }
    }
    return clean.toUtf8();
}

bool isBlankText(xmlNodePtr node) {
    return node && node->type == XML_TEXT_NODE && xmlIsBlankNode(node);
}

// The blanks that put node on a line of its own ("\n    "), or empty when node shares its line.
QByteArray lineBreakBefore(xmlNodePtr node) {
    if (!isBlankText(node->prev))
        return {};
    xmlChar* content = xmlNodeGetContent(node->prev);
    QByteArray blanks(reinterpret_cast<const char*>(content));
    xmlFree(content);
    const qsizetype nl = blanks.lastIndexOf('\n');
    return nl < 0 ? QByteArray() : blanks.mid(nl);
}

// Links node in before ref. Unlike xmlAddPrevSibling it never merges adjacent text nodes, which
// would swallow a line break into the closing blanks.
void linkBefore(xmlNodePtr ref, xmlNodePtr node) {
    node->parent = ref->parent;
    node->prev = ref->prev;
    node->next = ref;
    if (ref->prev)
        ref->prev->next = node;
    else
        ref->parent->children = node;
    ref->prev = node;
}

void insertTextBefore(xmlNodePtr before, const QByteArray& text) {
    linkBefore(before, xmlNewDocTextLen(before->doc, xmlText(text), int(text.size())));
}

// Line-per-child parents get the new child on its own line; see the file comment.
void appendWithLayout(xmlNodePtr parent, xmlNodePtr child) {
    xmlNodePtr last = parent->last;
    xmlNodePtr lastElement = last;
    while (lastElement && lastElement->type != XML_ELEMENT_NODE)
        lastElement = lastElement->prev;

    if (lastElement) {
        // "...<sibling/>\n  </parent>": repeat the sibling's line break before the closing one.
        const QByteArray siblingBreak = lineBreakBefore(lastElement);
        if (!siblingBreak.isEmpty() && isBlankText(last) && last->prev == lastElement) {
            xmlChar* closing = xmlNodeGetContent(last);
            const bool closingOnOwnLine = xmlStrchr(closing, '\n') != nullptr;
            xmlFree(closing);
            if (closingOnOwnLine) {
                insertTextBefore(last, siblingBreak);
                linkBefore(last, child);
                return;
            }
        }
        xmlAddChild(parent, child);
        return;
    }

    // No child element yet: lay the first one out when the parent sits on a line of its own
    // (the document element always does). It goes one step deeper than the parent; the step is
    // the parent's own indentation relative to its parent when that is known, else two blanks.
    const bool isRoot = parent->parent && parent->parent->type == XML_DOCUMENT_NODE;
    const QByteArray parentBreak = lineBreakBefore(parent);
    const bool onlyBlanks = !parent->children || (parent->children == last && isBlankText(last));
    if (!onlyBlanks || (parentBreak.isEmpty() && !isRoot)) {
        xmlAddChild(parent, child);
        return;
    }
    const QByteArray outer = isRoot ? QByteArray("\n") : parentBreak;
    QByteArray step("  ");
    if (!isRoot) {
        const bool grandIsRoot =
            parent->parent->parent && parent->parent->parent->type == XML_DOCUMENT_NODE;
        const QByteArray grand = grandIsRoot ? QByteArray("\n") : lineBreakBefore(parent->parent);
        if (!grand.isEmpty() && outer.size() > grand.size() && outer.startsWith(grand))
            step = outer.mid(grand.size());
    }
    if (last) {  // the lone blank text gives way to the new layout
        xmlUnlinkNode(last);
        xmlFreeNode(last);
    }
    const QByteArray inner = outer + step;
    xmlAddChild(parent, xmlNewDocTextLen(parent->doc, xmlText(inner), int(inner.size())));
    xmlAddChild(parent, child);
    xmlAddChild(parent, xmlNewDocTextLen(parent->doc, xmlText(outer), int(outer.size())));
}

// --- parse errors -----------------------------------------------------------------------------

struct ErrorCapture {
    bool have = false;
    int code = 0;
    QString file;
    QString message;
    int line = 0;
    int column = 0;
};

void captureError(void* userData, xmlErrorPtr error) {
    auto* capture = static_cast<ErrorCapture*>(userData);
    if (capture->have || !error || error->level < XML_ERR_ERROR ||
        error->domain == XML_FROM_NAMESPACE)
        return;
    capture->have = true;
    capture->code = error->code;
    capture->file = QString::fromUtf8(error->file);
    capture->message = QString::fromUtf8(error->message);
    capture->line = error->line;
    capture->column = error->int2;
}

// For the length of one parse, errors of this thread go to the capture; libxml2 prints nothing.
// Some failures (encoding set-up) bypass the structured handler and go to the generic one.
void ignoreGenericError(void*, const char*, ...) {}

class ErrorRedirect {
public:
    explicit ErrorRedirect(ErrorCapture* capture)
        : FGeneric(xmlGenericError),
          FGenericContext(xmlGenericErrorContext),
          FStructured(xmlStructuredError),
          FStructuredContext(xmlStructuredErrorContext) {
        xmlSetGenericErrorFunc(nullptr, ignoreGenericError);
        xmlSetStructuredErrorFunc(capture, captureError);
    }
    ~ErrorRedirect() {
        xmlSetGenericErrorFunc(FGenericContext, FGeneric);
        xmlSetStructuredErrorFunc(FStructuredContext, FStructured);
    }
    ErrorRedirect(const ErrorRedirect&) = delete;
    ErrorRedirect& operator=(const ErrorRedirect&) = delete;

private:
    xmlGenericErrorFunc FGeneric;
    void* FGenericContext;
    xmlStructuredErrorFunc FStructured;
    void* FStructuredContext;
};

QString trimmedReason(QString reason) {
    while (reason.endsWith('\n') || reason.endsWith('\r'))
        reason.chop(1);
    return reason;
}

bool isUtf16(const QByteArray& bytes) {
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") ||
           bytes.startsWith(QByteArray("<\0?\0", 4)) || bytes.startsWith(QByteArray("\0<\0?", 4));
}

// The encoding name of an ASCII-compatible declaration, or empty.
QByteArray declaredEncoding(const QByteArray& bytes) {
    qsizetype start = bytes.startsWith(kUtf8Bom) ? 3 : 0;
    if (bytes.mid(start, 5) != "<?xml")
        return {};
    const qsizetype end = bytes.indexOf("?>", start);
    const QByteArray decl = bytes.mid(start, end < 0 ? 200 : end - start);
    static const QRegularExpression re(
        QStringLiteral("\\sencoding\\s*=\\s*([\"'])([A-Za-z0-9._:-]+)\\1"));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(decl));
    return m.hasMatch() ? m.captured(2).toLatin1() : QByteArray();
}

// Decodes bytes from encoding through libxml2's own converters, so that whatever the parser
// could read we can show; undecodable bytes end the text.
QString decodeWith(const QByteArray& encoding, const QByteArray& bytes) {
    xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(encoding.constData());
    if (!handler)
        return QString::fromUtf8(bytes);
    xmlBufferPtr in = xmlBufferCreate();
    xmlBufferPtr out = xmlBufferCreate();
    xmlBufferAdd(in, xmlText(bytes), int(bytes.size()));
    xmlCharEncInFunc(handler, out, in);
    QString text = QString::fromUtf8(reinterpret_cast<const char*>(xmlBufferContent(out)),
                                     xmlBufferLength(out));
    xmlBufferFree(in);
    xmlBufferFree(out);
    xmlCharEncCloseFunc(handler);
    return text;
}

// The 1-based line of the source, decoded for display.
QString sourceLine(const QByteArray& bytes, int line) {
    if (line <= 0)
        return {};
    if (isUtf16(bytes)) {
        const bool bigEndian = bytes.startsWith("\xFE\xFF") || bytes.startsWith('\0');
        QStringDecoder decoder(bigEndian ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE);
        QString text = decoder.decode(bytes);
        if (text.startsWith(QChar(QChar::ByteOrderMark)))
            text.remove(0, 1);
        const QStringList lines = text.split('\n');
        return line <= lines.size() ? QString(lines.at(line - 1)).remove('\r') : QString();
    }
    qsizetype from = bytes.startsWith(kUtf8Bom) ? 3 : 0;
    for (int i = 1; i < line; ++i) {
        from = bytes.indexOf('\n', from);
        if (from < 0)
            return {};
        ++from;
    }
    qsizetype to = bytes.indexOf('\n', from);
    QByteArray raw = bytes.mid(from, to < 0 ? -1 : to - from);
    if (raw.endsWith('\r'))
        raw.chop(1);
    const QByteArray encoding = declaredEncoding(bytes);
    if (encoding.isEmpty() || encoding.compare("UTF-8", Qt::CaseInsensitive) == 0)
        return QString::fromUtf8(raw);
    return decodeWith(encoding, raw);
}

}  // namespace

// --- XmlElement ---------------------------------------------------------------------------------

QString XmlElement::tagName() const {
    return FNode ? qualifiedName(nodeOf(FNode)->name, nodeOf(FNode)->ns) : QString();
}

QList<QPair<QString, QString>> XmlElement::attributes() const {
    QList<QPair<QString, QString>> list;
    if (!FNode)
        return list;
    for (xmlAttrPtr attr = nodeOf(FNode)->properties; attr; attr = attr->next)
        list.append({qualifiedName(attr->name, attr->ns), attrValue(attr)});
    return list;
}

bool XmlElement::hasAttribute(const QString& name) const {
    return FNode && findAttr(nodeOf(FNode), name);
}

QString XmlElement::attribute(const QString& name) const {
    xmlAttrPtr attr = FNode ? findAttr(nodeOf(FNode), name) : nullptr;
    return attr ? attrValue(attr) : QString();
}

void XmlElement::setAttribute(const QString& name, const QString& value) {
    if (!FNode)
        return;
    xmlNodePtr node = nodeOf(FNode);
    const QByteArray utf8 = toXmlUtf8(value);
    if (xmlAttrPtr attr = findAttr(node, name)) {
        // Replaced in place: the attribute keeps its position and namespace.
        xmlSetNsProp(node, attr->ns, attr->name, xmlText(utf8));
        return;
    }
    xmlNewProp(node, xmlText(toXmlUtf8(name)), xmlText(utf8));
}

QList<XmlElement> XmlElement::childElements() const {
    QList<XmlElement> list;
    if (!FNode)
        return list;
    for (xmlNodePtr child = nodeOf(FNode)->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            list.append(XmlElement(child));
    return list;
}

XmlElement XmlElement::parentElement() const {
    if (!FNode)
        return {};
    xmlNodePtr parent = nodeOf(FNode)->parent;
    return parent && parent->type == XML_ELEMENT_NODE ? XmlElement(parent) : XmlElement();
}

QList<XmlElement> XmlElement::elementsByTagName(const QString& tag) const {
    QList<XmlElement> list;
    if (!FNode)
        return list;
    // Iterative pre-order walk: a deep document must not exhaust the stack.
    xmlNodePtr top = nodeOf(FNode);
    xmlNodePtr node = top->children;
    while (node) {
        if (node->type == XML_ELEMENT_NODE && qualifiedName(node->name, node->ns) == tag)
            list.append(XmlElement(node));
        if (node->type == XML_ELEMENT_NODE && node->children) {
            node = node->children;
            continue;
        }
        while (node && node != top && !node->next)
            node = node->parent;
        node = (node && node != top) ? node->next : nullptr;
    }
    return list;
}

void XmlElement::appendChild(XmlElement child) {
    if (!FNode || !child.FNode || child.FNode == FNode)
        return;
    xmlNodePtr node = nodeOf(child.FNode);
    if (node->parent || node->doc != nodeOf(FNode)->doc)
        return;  // only fresh elements of this document; moving would need a cycle check
    appendWithLayout(nodeOf(FNode), node);
}

void XmlElement::removeChild(XmlElement child) {
    if (!FNode || !child.FNode || nodeOf(child.FNode)->parent != nodeOf(FNode))
        return;
    xmlNodePtr node = nodeOf(child.FNode);
    xmlNodePtr lineBreak = lineBreakBefore(node).isEmpty() ? nullptr : node->prev;
    xmlUnlinkNode(node);
    xmlFreeNode(node);
    if (lineBreak) {
        xmlUnlinkNode(lineBreak);
        xmlFreeNode(lineBreak);
    }
}

// --- XmlDocument --------------------------------------------------------------------------------

struct XmlDocument::Impl {
    xmlDocPtr doc = nullptr;
    // What the serialiser cannot know from the tree alone.
    bool hadDeclaration = false;
    bool declaredEncoding = false;
    bool utf8Bom = false;
    bool crlf = false;

    ~Impl() { reset(); }
    void reset() {
        if (doc)
            xmlFreeDoc(doc);
        doc = nullptr;
    }
};

XmlDocument::XmlDocument() : FImpl(std::make_unique<Impl>()) {}
XmlDocument::~XmlDocument() = default;

bool XmlDocument::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        FImpl->reset();
        FError = XmlParseError{};
        FError.errorCode = XML_IO_LOAD_ERROR;
        FError.url = path;
        FError.reason = QFileInfo::exists(path) ? file.errorString() : QString(kFileNotFound);
        return false;
    }
    return loadFromBytes(file.readAll(), path);
}

bool XmlDocument::loadFromBytes(const QByteArray& bytes, const QString& url) {
    FImpl->reset();
    FError = XmlParseError{};
    if (bytes.size() > INT_MAX) {
        FError.errorCode = XML_IO_LOAD_ERROR;
        FError.url = url;
        FError.reason = kTooLarge;
        return false;
    }

    ErrorCapture capture;
    ErrorRedirect redirect(&capture);
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) {
        FError.errorCode = XML_ERR_NO_MEMORY;
        FError.url = url;
        FError.reason = QStringLiteral("out of memory");
        return false;
    }
    const QByteArray urlUtf8 = url.toUtf8();
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt, bytes.constData(), int(bytes.size()),
                                      urlUtf8.constData(), nullptr, XML_PARSE_NONET);
    const bool ok = doc && ctxt->wellFormed && xmlDocGetRootElement(doc);
    if (!ok && !capture.have) {
        if (xmlErrorPtr last = xmlCtxtGetLastError(ctxt); last && last->code != 0) {
            capture.have = true;
            capture.code = last->code;
            capture.file = QString::fromUtf8(last->file);
            capture.message = QString::fromUtf8(last->message);
            capture.line = last->line;
            capture.column = last->int2;
        }
    }
    xmlFreeParserCtxt(ctxt);

    if (!ok) {
        if (doc)
            xmlFreeDoc(doc);
        FError.errorCode = capture.code != 0 ? capture.code : XML_ERR_DOCUMENT_EMPTY;
        FError.url = capture.file.isEmpty() ? url : capture.file;
        FError.reason =
            capture.have ? trimmedReason(capture.message) : QStringLiteral("Document is empty");
        FError.line = capture.line;
        FError.linepos = capture.line > 0 ? capture.column : 0;
        FError.srcText = sourceLine(bytes, capture.line).left(kMaxSourceLine);
        return false;
    }

    FImpl->doc = doc;
    FImpl->utf8Bom = bytes.startsWith(kUtf8Bom);
    FImpl->hadDeclaration = doc->standalone != -1;
    FImpl->declaredEncoding = !declaredEncoding(bytes).isEmpty() || isUtf16(bytes);
    const qsizetype nl = bytes.indexOf('\n');
    FImpl->crlf = nl > 0 && bytes.at(nl - 1) == '\r' && !isUtf16(bytes);
    return true;
}

XmlElement XmlDocument::documentElement() const {
    return FImpl->doc ? XmlElement(xmlDocGetRootElement(FImpl->doc)) : XmlElement();
}

XmlElement XmlDocument::createElement(const QString& tag) {
    if (!FImpl->doc)
        return {};
    return XmlElement(xmlNewDocNode(FImpl->doc, nullptr, xmlText(toXmlUtf8(tag)), nullptr));
}

namespace {

bool isUtf8Name(const char* encoding) {
    return qstricmp(encoding, "UTF-8") == 0 || qstricmp(encoding, "UTF8") == 0;
}

// libxml2's serialisation of doc in encoding; empty on failure.
QByteArray serialise(xmlDocPtr doc, const char* encoding, int options) {
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, encoding, options);
    QByteArray bytes;
    if (save) {
        const long written = xmlSaveDoc(save, doc);
        if (xmlSaveClose(save) >= 0 && written >= 0)
            bytes = QByteArray(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                               xmlBufferLength(buffer));
    }
    xmlBufferFree(buffer);
    return bytes;
}

// Whether bytes parse back into the same document. Some converters (those libxml2 reaches
// through ICU for unusual spellings of an encoding name) drop a character the encoding cannot
// hold, and what follows it, instead of writing a character reference.
bool readsBackAs(xmlDocPtr doc, const QByteArray& bytes) {
    ErrorCapture ignored;
    ErrorRedirect redirect(&ignored);
    xmlDocPtr again =
        xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr, XML_PARSE_NONET);
    if (!again)
        return false;
    const bool same =
        serialise(again, "UTF-8", XML_SAVE_NO_DECL) == serialise(doc, "UTF-8", XML_SAVE_NO_DECL);
    xmlFreeDoc(again);
    return same;
}

}  // namespace

QByteArray XmlDocument::toBytes() const {
    xmlDocPtr doc = FImpl->doc;
    if (!doc)
        return {};
    // An explicit encoding keeps libxml2 from escaping every non-ASCII character.
    const char* encoding = doc->encoding ? reinterpret_cast<const char*>(doc->encoding) : "UTF-8";
    QByteArray bytes = serialise(doc, encoding, FImpl->hadDeclaration ? 0 : int(XML_SAVE_NO_DECL));
    if (bytes.isEmpty())
        return bytes;
    // A file that says something else than the document is worse than no file: the caller
    // refuses to save and the old file stays.
    if (!isUtf8Name(encoding) && !readsBackAs(doc, bytes))
        return {};

    if (FImpl->hadDeclaration && !FImpl->declaredEncoding && !doc->encoding) {
        // The source declared no encoding; libxml2 writes the UTF-8 it was told to use.
        const qsizetype end = bytes.indexOf("?>");
        const qsizetype at = bytes.indexOf(" encoding=\"UTF-8\"");
        if (at >= 0 && at < end)
            bytes.remove(at, qsizetype(sizeof(" encoding=\"UTF-8\"") - 1));
    }
    // Only over an ASCII-compatible output: in UTF-16 a 0x0A byte is half a character.
    if (FImpl->crlf && bytes.startsWith('<'))
        bytes.replace("\n", "\r\n");
    // A byte order mark only where it tells the truth (a BOM-marked file may declare another
    // encoding, which is then what is written).
    if (FImpl->utf8Bom && isUtf8Name(encoding) && !bytes.startsWith(kUtf8Bom))
        bytes.prepend(kUtf8Bom);
    return bytes;
}

void XmlDocument::save(const QString& path) const {
    if (!FImpl->doc)
        throw EFileError(QString::fromUtf8(kNothingLoaded));
    const QByteArray bytes = toBytes();
    if (bytes.isEmpty())
        throw EFileError(QString::fromUtf8(kCannotSerialise) +
                         fromXml(FImpl->doc->encoding ? FImpl->doc->encoding : BAD_CAST "UTF-8"));
    writeFileAtomically(path, bytes);
}

}  // namespace platform
