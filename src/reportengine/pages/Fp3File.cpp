#include "reportengine/pages/Fp3File.h"

#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "reportengine/pages/PreparedPages.h"

#include <QFile>
#include <QLocale>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <zlib.h>

#include <algorithm>
#include <cmath>

namespace reportengine {

namespace {

constexpr int kFp3Version = 1;
const char* const kKindNames[kItemKindCount] = {"text",  "rect",     "line",    "shape",
                                                "image", "checkbox", "barcode", "gradient"};

// One attribute of an item: its name, how its text reads, and where it lives in the item. The
// writer and the reader both walk this table, so the two cannot drift apart.
struct Field {
    enum Type { Dbl, I32, U8, I16, Str, Bool, Enum };
    const char* Name;
    Type T;
    int Limit;  // Enum: number of values
    void* (*Ref)(PreparedItem&);
};

#define FIELD(name, type, limit, expr)                                             \
    Field {                                                                        \
        name, Field::type, limit, [](PreparedItem& i) -> void* { return &i.expr; } \
    }
const Field kFields[] = {
    FIELD("x", Dbl, 0, X),
    FIELD("y", Dbl, 0, Y),
    FIELD("w", Dbl, 0, W),
    FIELD("h", Dbl, 0, H),
    FIELD("name", Str, 0, Name),
    FIELD("tag", Str, 0, Tag),
    FIELD("fill", I32, 0, FillColor),
    FIELD("frame.typ", U8, 0, Frame.Typ),
    FIELD("frame.width", Dbl, 0, Frame.Width),
    FIELD("frame.color", I32, 0, Frame.Color),
    FIELD("frame.style", Enum, 6, Frame.Style),
    FIELD("font.name", Str, 0, Font.Name),
    FIELD("font.size", Dbl, 0, Font.Size),
    FIELD("font.style", U8, 0, Font.Style),
    FIELD("font.color", I32, 0, Font.Color),
    FIELD("halign", Enum, 4, HAlignment),
    FIELD("valign", Enum, 3, VAlignment),
    FIELD("rotation", I16, 0, Rotation),
    FIELD("shape", Enum, 5, Shape),
    FIELD("keepaspect", Bool, 0, KeepAspect),
    FIELD("center", Bool, 0, Center),
    FIELD("checked", Bool, 0, Checked),
    FIELD("checkstyle", U8, 0, CheckStyle),
    FIELD("endcolor", I32, 0, EndColor),
    FIELD("gradient", Enum, 4, Gradient),
    FIELD("valuekind", Enum, 3, ValueKind),
    FIELD("value", Dbl, 0, Value),
    FIELD("valueformat", Str, 0, ValueFormat),
};
#undef FIELD

QString numberText(double v) {
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

QString fieldText(const Field& f, const void* p) {
    switch (f.T) {
        case Field::Dbl:
            return numberText(*static_cast<const double*>(p));
        case Field::I32:
            return QString::number(*static_cast<const std::int32_t*>(p));
        case Field::U8:
        case Field::Enum:
            return QString::number(*static_cast<const std::uint8_t*>(p));
        case Field::I16:
            return QString::number(*static_cast<const std::int16_t*>(p));
        case Field::Str:
            return *static_cast<const QString*>(p);
        case Field::Bool:
            return *static_cast<const bool*>(p) ? "1" : "0";
    }
    return {};
}

bool parseDouble(QStringView s, double& out) {
    bool ok = false;
    out = s.toDouble(&ok);
    return ok && std::isfinite(out);
}

bool parseInt(QStringView s, qint64 lo, qint64 hi, qint64& out) {
    bool ok = false;
    out = s.toLongLong(&ok);
    return ok && out >= lo && out <= hi;
}

bool setField(const Field& f, void* p, QStringView s) {
    qint64 n = 0;
    switch (f.T) {
        case Field::Dbl:
            return parseDouble(s, *static_cast<double*>(p));
        case Field::I32:
            if (!parseInt(s, INT32_MIN, INT32_MAX, n))
                return false;
            *static_cast<std::int32_t*>(p) = std::int32_t(n);
            return true;
        case Field::U8:
        case Field::Enum:
            if (!parseInt(s, 0, f.T == Field::Enum ? f.Limit - 1 : 255, n))
                return false;
            *static_cast<std::uint8_t*>(p) = std::uint8_t(n);
            return true;
        case Field::I16:
            if (!parseInt(s, INT16_MIN, INT16_MAX, n))
                return false;
            *static_cast<std::int16_t*>(p) = std::int16_t(n);
            return true;
        case Field::Str:
            *static_cast<QString*>(p) = s.toString();
            return true;
        case Field::Bool:
            if (s != u"0" && s != u"1")
                return false;
            *static_cast<bool*>(p) = s == u"1";
            return true;
    }
    return false;
}

// Characters XML 1.0 cannot carry become U+FFFD, so that every file written reads back.
QString xmlSafe(const QString& s) {
    QString out = s;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF)
            c = QChar(0xFFFD);
    }
    return out;
}

void writeAttr(QXmlStreamWriter& w, const char* name, double v, double def) {
    if (v != def || std::signbit(v) != std::signbit(def))
        w.writeAttribute(QLatin1String(name), numberText(v));
}

void writeItem(QXmlStreamWriter& w, const PreparedItem& item) {
    static PreparedItem defaults;
    w.writeStartElement(QLatin1String(kKindNames[int(item.Kind)]));
    auto& it = const_cast<PreparedItem&>(item);  // Ref needs a mutable item; nothing is written
    for (const Field& f : kFields) {
        const QString text = fieldText(f, f.Ref(it));
        if (text != fieldText(f, f.Ref(defaults)))
            w.writeAttribute(QLatin1String(f.Name), xmlSafe(text));
    }
    for (const TextLine& l : item.Lines) {
        w.writeStartElement(QStringLiteral("ln"));
        writeAttr(w, "x", l.X, 0);
        writeAttr(w, "b", l.Baseline, 0);
        writeAttr(w, "w", l.Width, 0);
        writeAttr(w, "jw", l.JustifyWidth, 0);
        // An attribute, not element text: the writer escapes CR, LF and tab in attributes as
        // character references, so line text comes back exactly (element text would lose CRs).
        if (!l.Text.isEmpty())
            w.writeAttribute(QStringLiteral("t"), xmlSafe(l.Text));
        w.writeEndElement();
    }
    for (const BarRect& b : item.Bars) {
        w.writeStartElement(QStringLiteral("bar"));
        writeAttr(w, "x", b.X, 0), writeAttr(w, "y", b.Y, 0);
        writeAttr(w, "w", b.W, 0), writeAttr(w, "h", b.H, 0);
        w.writeEndElement();
    }
    if (item.Kind == ItemKind::Image && !item.ImageData.isEmpty())  // only pictures carry bytes
        w.writeCharacters(QString::fromLatin1(item.ImageData.toBase64()));
    w.writeEndElement();
}

struct PageAttr {
    const char* Name;
    double PreparedPage::*Member;
};
const PageAttr kPageAttrs[] = {
    {"width", &PreparedPage::PaperWidth},  {"height", &PreparedPage::PaperHeight},
    {"left", &PreparedPage::LeftMargin},   {"top", &PreparedPage::TopMargin},
    {"right", &PreparedPage::RightMargin}, {"bottom", &PreparedPage::BottomMargin},
};

void writePage(QXmlStreamWriter& w, const PreparedPage& page) {
    static const PreparedPage defaults;
    w.writeStartElement(QStringLiteral("page"));
    for (const PageAttr& a : kPageAttrs)
        writeAttr(w, a.Name, page.*a.Member, defaults.*a.Member);
    if (page.Landscape)
        w.writeAttribute(QStringLiteral("landscape"), QStringLiteral("1"));
    if (page.Color != defaults.Color)
        w.writeAttribute(QStringLiteral("color"), QString::number(page.Color));
    for (const PreparedItem& it : page.Items)
        writeItem(w, it);
    w.writeEndElement();
}

// The reader: a QXmlStreamReader walk that stops at the first problem.
class Fp3Reader {
public:
    Fp3Reader(const QByteArray& xml, const PageSink& sink) : FXml(xml), FSink(sink) {}

    bool run(QString* error) {
        if (!FXml.readNextStartElement() || FXml.name() != u"preparedreport")
            return fail(error, QStringLiteral("not a prepared report (no <preparedreport>)"));
        qint64 version = 0;
        if (!parseInt(FXml.attributes().value(QLatin1String("version")), 1, kFp3Version, version))
            return fail(error, QStringLiteral("unsupported prepared report version"));
        while (FXml.readNextStartElement()) {
            if (FXml.name() != u"page")
                return fail(error, unexpected());
            PreparedPage page;
            if (!readPage(page))
                return fail(error, FProblem);
            FSink(std::move(page));
        }
        if (!FXml.hasError()) {
            while (!FXml.atEnd())  // the rest must be well-formed too
                FXml.readNext();
        }
        return FXml.hasError() ? fail(error, FXml.errorString()) : true;
    }

private:
    QString unexpected() const {
        return QStringLiteral("unexpected element <%1>").arg(FXml.name().toString());
    }
    bool problem(const QString& text) {
        FProblem = text;
        return false;
    }
    bool fail(QString* error, const QString& text) const {
        if (error)
            *error = QStringLiteral("Bad prepared report file, line %1: %2")
                         .arg(FXml.lineNumber())
                         .arg(FXml.hasError() ? FXml.errorString() : text);
        return false;
    }

    bool readPage(PreparedPage& page) {
        for (const QXmlStreamAttribute& a : FXml.attributes()) {
            bool ok = false;
            if (a.name() == u"landscape") {
                qint64 v = 0;
                ok = parseInt(a.value(), 0, 1, v);
                page.Landscape = v;
            } else if (a.name() == u"color") {
                qint64 v = 0;
                ok = parseInt(a.value(), INT32_MIN, INT32_MAX, v);
                page.Color = std::int32_t(v);
            } else {
                for (const PageAttr& pa : kPageAttrs)
                    if (a.name() == QLatin1String(pa.Name))
                        ok = parseDouble(a.value(), page.*pa.Member);
            }
            if (!ok)
                return problem(QStringLiteral("bad page attribute %1").arg(a.name().toString()));
        }
        while (FXml.readNextStartElement()) {
            PreparedItem item;
            if (!readItem(item))
                return false;
            page.Items.push_back(std::move(item));
        }
        return !FXml.hasError() || problem(FXml.errorString());
    }

    bool readItem(PreparedItem& item) {
        int kind = 0;
        while (kind < kItemKindCount && FXml.name() != QLatin1String(kKindNames[kind]))
            ++kind;
        if (kind == kItemKindCount)
            return problem(unexpected());
        item.Kind = ItemKind(kind);
        for (const QXmlStreamAttribute& a : FXml.attributes()) {
            const Field* f =
                std::find_if(std::begin(kFields), std::end(kFields),
                             [&](const Field& f) { return a.name() == QLatin1String(f.Name); });
            if (f == std::end(kFields) || !setField(*f, f->Ref(item), a.value()))
                return problem(QStringLiteral("bad attribute %1=\"%2\"")
                                   .arg(a.name().toString(), a.value().toString()));
        }
        QString data;
        while (!FXml.atEnd()) {
            const auto token = FXml.readNext();
            if (token == QXmlStreamReader::EndElement)
                break;
            if (token == QXmlStreamReader::Characters) {
                data += FXml.text();
            } else if (token == QXmlStreamReader::StartElement) {
                if (!readChild(item))
                    return false;
            }
        }
        if (FXml.hasError())
            return problem(FXml.errorString());
        return readImageData(item, data.trimmed());
    }

    bool readImageData(PreparedItem& item, const QString& data) {
        if (data.isEmpty())
            return true;
        if (item.Kind != ItemKind::Image)
            return problem(
                QStringLiteral("text outside <ln> in <%1>").arg(kKindNames[int(item.Kind)]));
        auto decoded = QByteArray::fromBase64Encoding(data.toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded || decoded.decoded.isEmpty() ||
            !std::all_of(data.begin(), data.end(), [](QChar c) { return c.unicode() < 0x80; }))
            return problem(QStringLiteral("bad image data"));
        item.ImageData = decoded.decoded;
        return true;
    }

    bool readNumbers(std::initializer_list<std::pair<const char*, double*>> attrs) {
        for (const QXmlStreamAttribute& a : FXml.attributes()) {
            auto* hit = std::find_if(attrs.begin(), attrs.end(), [&](const auto& p) {
                return a.name() == QLatin1String(p.first);
            });
            if (hit == attrs.end() || (hit->second && !parseDouble(a.value(), *hit->second)))
                return problem(QStringLiteral("bad attribute %1 of <%2>")
                                   .arg(a.name().toString(), FXml.name().toString()));
        }
        return true;
    }

    bool readChild(PreparedItem& item) {
        if (FXml.name() == u"ln") {
            TextLine l;
            l.Text = FXml.attributes().value(QLatin1String("t")).toString();
            if (!readNumbers({{"x", &l.X},
                              {"b", &l.Baseline},
                              {"w", &l.Width},
                              {"jw", &l.JustifyWidth},
                              {"t", nullptr}}))
                return false;
            if (!FXml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement)
                     .trimmed()
                     .isEmpty())
                return problem(QStringLiteral("text inside <ln>"));
            item.Lines.push_back(std::move(l));
        } else if (FXml.name() == u"bar") {
            BarRect b;
            if (!readNumbers({{"x", &b.X}, {"y", &b.Y}, {"w", &b.W}, {"h", &b.H}}))
                return false;
            FXml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
            item.Bars.push_back(b);
        } else {
            return problem(unexpected());
        }
        return !FXml.hasError() || problem(FXml.errorString());
    }

    QXmlStreamReader FXml;
    const PageSink& FSink;
    QString FProblem;
};

}  // namespace

QByteArray GzipBytes(const QByteArray& data) {
    z_stream z{};
    // windowBits 15 + 16: gzip wrapper; zlib writes a zero timestamp, so output is deterministic.
    deflateInit2(&z, Z_BEST_SPEED + 5, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

bool GunzipBytes(const QByteArray& data, QByteArray& out, QString* error, qint64 maxBytes) {
    z_stream z{};
    inflateInit2(&z, 15 + 16);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    out.clear();
    char chunk[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(chunk, qsizetype(sizeof chunk - z.avail_out));
        if (out.size() > maxBytes)
            rc = Z_MEM_ERROR;
        else if (rc == Z_BUF_ERROR && z.avail_in == 0)
            rc = Z_DATA_ERROR;  // input ended before the stream did
    }
    const bool trailing = z.avail_in != 0;
    inflateEnd(&z);
    if (rc == Z_STREAM_END && !trailing)
        return true;
    if (error)
        *error = rc == Z_MEM_ERROR
                     ? QStringLiteral("Bad prepared report file: too large")
                     : QStringLiteral("Bad prepared report file: damaged compression");
    return false;
}

QByteArray WriteFp3(const TfrxPreparedPages& pages) {
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(1);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("preparedreport"));
    w.writeAttribute(QStringLiteral("version"), QString::number(kFp3Version));
    const int count = pages.Count();
    w.writeAttribute(QStringLiteral("pages"), QString::number(count));
    for (int i = 0; i < count; ++i)
        writePage(w, *pages.Page(i));
    w.writeEndDocument();
    return GzipBytes(xml);
}

bool WriteFp3File(const QString& fileName, const TfrxPreparedPages& pages, QString* error) {
    try {
        platform::writeFileAtomically(fileName, WriteFp3(pages));
        return true;
    } catch (const platform::Exception& e) {
        if (error)
            *error = QStringLiteral("Cannot save %1: %2").arg(fileName, e.Message());
        return false;
    }
}

bool ReadFp3(const QByteArray& bytes, const PageSink& sink, QString* error) {
    QByteArray xml;
    if (bytes.startsWith("\x1f\x8b")) {
        if (!GunzipBytes(bytes, xml, error))
            return false;
    } else {
        xml = bytes;
    }
    Fp3Reader reader(xml, sink);
    return reader.run(error);
}

bool ReadFp3File(const QString& fileName, const PageSink& sink, QString* error) {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open %1: %2").arg(fileName, f.errorString());
        return false;
    }
    return ReadFp3(f.readAll(), sink, error);
}

}  // namespace reportengine
