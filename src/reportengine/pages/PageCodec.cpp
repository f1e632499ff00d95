#include "reportengine/pages/PageCodec.h"

#include <bit>
#include <cstring>
#include <type_traits>

namespace reportengine {

namespace {

constexpr std::uint8_t kCodecVersion = 1;
constexpr std::uint64_t kMaxCount = 1u << 28;  // any larger count is corruption

class Writer {
public:
    void u8(std::uint8_t v) { FOut.append(char(v)); }
    void varint(std::uint64_t v) {
        while (v >= 0x80) {
            u8(std::uint8_t(v | 0x80));
            v >>= 7;
        }
        u8(std::uint8_t(v));
    }
    void i32(std::int32_t v) { raw(&v, 4); }
    void i16(std::int16_t v) { raw(&v, 2); }
    void f64(double v) { raw(&v, 8); }
    void bytes(const QByteArray& b) {
        varint(std::uint64_t(b.size()));
        FOut.append(b);
    }
    void str(const QString& s) { bytes(s.toUtf8()); }
    void reserve(qsizetype n) { FOut.reserve(n); }
    QByteArray take() { return std::move(FOut); }

private:
    // Every host this builds for is little-endian; the static_assert keeps it honest.
    void raw(const void* p, int n) { FOut.append(static_cast<const char*>(p), n); }
    QByteArray FOut;
};
static_assert(std::endian::native == std::endian::little);

class Reader {
public:
    explicit Reader(QByteArrayView b) : FData(b.data()), FLeft(std::size_t(b.size())) {}
    bool ok() const { return FOk; }
    void fail() { FOk = false; }
    bool atEnd() const { return FLeft == 0; }
    std::uint8_t u8() {
        std::uint8_t v = 0;
        raw(&v, 1);
        return v;
    }
    std::uint64_t varint() {
        std::uint64_t v = 0;
        for (int shift = 0; shift < 64 && FOk; shift += 7) {
            const std::uint8_t b = u8();
            v |= std::uint64_t(b & 0x7F) << shift;
            if (!(b & 0x80))
                return v;
        }
        FOk = false;
        return 0;
    }
    std::uint64_t count() {
        const std::uint64_t n = varint();
        if (n > kMaxCount || n > FLeft)  // every element takes at least one byte
            FOk = false;
        return FOk ? n : 0;
    }
    std::int32_t i32() {
        std::int32_t v = 0;
        raw(&v, 4);
        return v;
    }
    std::int16_t i16() {
        std::int16_t v = 0;
        raw(&v, 2);
        return v;
    }
    double f64() {
        double v = 0;
        raw(&v, 8);
        return v;
    }
    QByteArray bytes() {
        const std::uint64_t n = count();
        if (!FOk)
            return {};
        QByteArray b(FData, qsizetype(n));
        FData += n;
        FLeft -= n;
        return b;
    }
    QString str() { return QString::fromUtf8(bytes()); }
    template <typename E>
    E enumOf(int limit) {
        const std::uint8_t v = u8();
        if (v >= limit)
            FOk = false;
        return E(v);
    }

private:
    void raw(void* p, std::size_t n) {
        if (!FOk || FLeft < n) {
            FOk = false;
            return;
        }
        std::memcpy(p, FData, n);
        FData += n;
        FLeft -= n;
    }
    const char* FData;
    std::size_t FLeft;
    bool FOk = true;
};

// Every item field in one list, in encoding order: bit i of an item's mask says field i differs
// from a default item and follows. Most items set only a handful of fields.
#define VELLUMAR_ITEM_FIELDS(F)                                                                   \
    F(X)                                                                                          \
    F(Y)                                                                                          \
    F(W) F(H) F(Name) F(Tag) F(FillColor) F(Frame.Typ) F(Frame.Width) F(Frame.Color)              \
        F(Frame.Style) F(Font.Name) F(Font.Size) F(Font.Style) F(Font.Color) F(Lines)             \
            F(HAlignment) F(VAlignment) F(Rotation) F(Shape) F(ImageData) F(KeepAspect) F(Center) \
                F(Checked) F(CheckStyle) F(Bars) F(EndColor) F(Gradient) F(ValueKind) F(Value)    \
                    F(ValueFormat)

template <typename T>
bool same(const T& a, const T& b) {
    return a == b;
}
bool same(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}  // -0.0, NaN

void put(Writer& w, double v) {
    w.f64(v);
}
void put(Writer& w, const QString& v) {
    w.str(v);
}
void put(Writer& w, const QByteArray& v) {
    w.bytes(v);
}
void put(Writer& w, std::int32_t v) {
    w.i32(v);
}
void put(Writer& w, std::int16_t v) {
    w.i16(v);
}
void put(Writer& w, std::uint8_t v) {
    w.u8(v);
}
void put(Writer& w, bool v) {
    w.u8(v ? 1 : 0);
}
template <typename E>
requires std::is_enum_v<E>
void put(Writer& w, E v) {
    w.u8(std::uint8_t(v));
}
void put(Writer& w, const std::vector<TextLine>& lines) {
    w.varint(lines.size());
    for (const TextLine& l : lines)
        w.str(l.Text), w.f64(l.X), w.f64(l.Baseline), w.f64(l.Width), w.f64(l.JustifyWidth);
}
void put(Writer& w, const std::vector<BarRect>& bars) {
    w.varint(bars.size());
    for (const BarRect& b : bars)
        w.f64(b.X), w.f64(b.Y), w.f64(b.W), w.f64(b.H);
}

constexpr int enumLimit(FrameStyle) {
    return 6;
}
constexpr int enumLimit(HAlign) {
    return 4;
}
constexpr int enumLimit(VAlign) {
    return 3;
}
constexpr int enumLimit(ShapeKind) {
    return 5;
}
constexpr int enumLimit(GradientStyle) {
    return 4;
}
constexpr int enumLimit(ItemValueKind) {
    return 3;
}

void get(Reader& r, double& v) {
    v = r.f64();
}
void get(Reader& r, QString& v) {
    v = r.str();
}
void get(Reader& r, QByteArray& v) {
    v = r.bytes();
}
void get(Reader& r, std::int32_t& v) {
    v = r.i32();
}
void get(Reader& r, std::int16_t& v) {
    v = r.i16();
}
void get(Reader& r, std::uint8_t& v) {
    v = r.u8();
}
void get(Reader& r, bool& v) {
    v = r.enumOf<std::uint8_t>(2) != 0;
}
template <typename E>
requires std::is_enum_v<E>
void get(Reader& r, E& v) {
    v = r.enumOf<E>(enumLimit(E{}));
}
void get(Reader& r, std::vector<TextLine>& lines) {
    lines.resize(r.count());
    for (TextLine& l : lines)
        l.Text = r.str(), l.X = r.f64(), l.Baseline = r.f64(), l.Width = r.f64(),
        l.JustifyWidth = r.f64();
}
void get(Reader& r, std::vector<BarRect>& bars) {
    bars.resize(r.count());
    for (BarRect& b : bars)
        b.X = r.f64(), b.Y = r.f64(), b.W = r.f64(), b.H = r.f64();
}

const PreparedItem kDefaultItem;

void writeItem(Writer& w, const PreparedItem& it) {
    std::uint32_t mask = 0, bit = 1;
#define VELLUMAR_MASK(f)             \
    if (!same(it.f, kDefaultItem.f)) \
        mask |= bit;                 \
    bit <<= 1;
    VELLUMAR_ITEM_FIELDS(VELLUMAR_MASK)
#undef VELLUMAR_MASK
    w.u8(std::uint8_t(it.Kind));
    w.varint(mask);
    bit = 1;
#define VELLUMAR_PUT(f) \
    if (mask & bit)     \
        put(w, it.f);   \
    bit <<= 1;
    VELLUMAR_ITEM_FIELDS(VELLUMAR_PUT)
#undef VELLUMAR_PUT
}

void readItem(Reader& r, PreparedItem& it) {
    it.Kind = r.enumOf<ItemKind>(kItemKindCount);
    const std::uint64_t mask = r.varint();
    std::uint64_t bit = 1;
#define VELLUMAR_GET(f) \
    if (mask & bit)     \
        get(r, it.f);   \
    bit <<= 1;
    VELLUMAR_ITEM_FIELDS(VELLUMAR_GET)
#undef VELLUMAR_GET
    if (mask >= bit)  // a field this version does not know
        r.fail();
}

}  // namespace

QByteArray EncodePage(const PreparedPage& page) {
    Writer w;
    w.reserve(64 + qsizetype(page.Items.size()) * 96);
    w.u8(kCodecVersion);
    w.f64(page.PaperWidth), w.f64(page.PaperHeight);
    w.f64(page.LeftMargin), w.f64(page.TopMargin), w.f64(page.RightMargin);
    w.f64(page.BottomMargin);
    w.u8(page.Landscape ? 1 : 0);
    w.i32(page.Color);
    w.varint(page.Items.size());
    for (const PreparedItem& it : page.Items)
        writeItem(w, it);
    return w.take();
}

bool DecodePage(QByteArrayView bytes, PreparedPage& page) {
    Reader r(bytes);
    if (r.u8() != kCodecVersion)
        return false;
    page.PaperWidth = r.f64(), page.PaperHeight = r.f64();
    page.LeftMargin = r.f64(), page.TopMargin = r.f64(), page.RightMargin = r.f64();
    page.BottomMargin = r.f64();
    page.Landscape = r.u8() != 0;
    page.Color = r.i32();
    page.Items.clear();
    page.Items.resize(r.count());
    for (PreparedItem& it : page.Items) {
        readItem(r, it);
        if (!r.ok())
            return false;
    }
    return r.ok() && r.atEnd();
}

std::size_t ApproximateBytes(const PreparedPage& page) {
    std::size_t n = sizeof(PreparedPage) + page.Items.capacity() * sizeof(PreparedItem);
    for (const PreparedItem& it : page.Items) {
        n += std::size_t(it.Name.size() + it.Tag.size() + it.Font.Name.size() +
                         it.ValueFormat.size()) *
             2;
        n += it.Lines.capacity() * sizeof(TextLine) + it.Bars.capacity() * sizeof(BarRect);
        for (const TextLine& l : it.Lines)
            n += std::size_t(l.Text.size()) * 2;
        n += std::size_t(it.ImageData.size());
    }
    return n;
}

}  // namespace reportengine
