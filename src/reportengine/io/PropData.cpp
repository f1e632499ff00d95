#include "reportengine/io/PropData.h"

#include "platform/Cp1251.h"

#include <QtEndian>
#include <cstring>

namespace reportengine {

namespace {

enum ValueKind : uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
    vaUTF8String = 20
};

constexpr int MaxDepth = 32;

// A cursor over the bytes; every read checks the remaining length first.
class Reader {
public:
    explicit Reader(QByteArray data) : FData(std::move(data)) {}
    bool AtEnd() const { return FPos >= FData.size(); }
    bool Byte(uint8_t& b) {
        if (FPos + 1 > FData.size())
            return false;
        b = static_cast<uint8_t>(FData[FPos++]);
        return true;
    }
    bool Bytes(qsizetype n, QByteArray& out) {
        if (n < 0 || n > FData.size() - FPos)
            return false;
        out = FData.mid(FPos, n);
        FPos += n;
        return true;
    }
    bool Int32(qint32& v) {
        QByteArray b;
        if (!Bytes(4, b))
            return false;
        v = qFromLittleEndian<qint32>(b.constData());
        return true;
    }
    bool ShortString(QString& s) {
        uint8_t len;
        QByteArray b;
        if (!Byte(len) || !Bytes(len, b))
            return false;
        s = Text(b);
        return true;
    }
    static QString Text(const QByteArray& b) {
        return platform::isValidUtf8(b) ? QString::fromUtf8(b) : platform::fromCp1251(b);
    }

    bool Value(PropValue& v, int depth) {
        uint8_t kind;
        if (depth > MaxDepth || !Byte(kind))
            return false;
        return ValueOfKind(kind, v, depth);
    }

private:
    bool Number(qsizetype size, PropValue& v) {
        QByteArray b;
        if (!Bytes(size, b))
            return false;
        const char* p = b.constData();
        switch (size) {
            case 1:
                v.Text = QString::number(qint8(p[0]));
                break;
            case 2:
                v.Text = QString::number(qFromLittleEndian<qint16>(p));
                break;
            case 4:
                v.Text = QString::number(qFromLittleEndian<qint32>(p));
                break;
            default:
                v.Text = QString::number(qFromLittleEndian<qint64>(p));
                break;
        }
        return true;
    }

    bool ValueOfKind(uint8_t kind, PropValue& v, int depth) {
        QByteArray b;
        qint32 len = 0;
        switch (kind) {
            case vaList:
                v.IsList = true;
                for (;;) {
                    uint8_t next;
                    if (!Byte(next))
                        return false;
                    if (next == vaNull)
                        return true;
                    PropValue item;
                    if (!ValueOfKind(next, item, depth + 1))
                        return false;
                    v.Items.push_back(std::move(item));
                }
            case vaInt8:
                return Number(1, v);
            case vaInt16:
                return Number(2, v);
            case vaInt32:
                return Number(4, v);
            case vaInt64:
                return Number(8, v);
            case vaString:
            case vaIdent:
                return ShortString(v.Text);
            case vaFalse:
                v.Text = QStringLiteral("False");
                return true;
            case vaTrue:
                v.Text = QStringLiteral("True");
                return true;
            case vaNil:
            case vaNull:
                return true;
            case vaLString:
            case vaUTF8String:
            case vaBinary:
                if (!Int32(len) || !Bytes(len, b))
                    return false;
                v.Text = kind == vaBinary ? QString::fromLatin1(b.toHex()) : Text(b);
                return true;
            case vaWString: {
                if (!Int32(len) || len < 0 || len > (FData.size() - FPos) / 2 || !Bytes(len * 2, b))
                    return false;
                QString s(len, Qt::Uninitialized);
                for (qint32 i = 0; i < len; ++i)
                    s[i] = QChar(qFromLittleEndian<quint16>(b.constData() + 2 * i));
                v.Text = s;
                return true;
            }
            case vaSingle:
                return Bytes(4, b);
            case vaCurrency:
            case vaDate:
                return Bytes(8, b);
            case vaExtended:
                return Bytes(10, b);
            case vaSet:
                for (;;) {
                    QString ident;
                    if (!ShortString(ident))
                        return false;
                    if (ident.isEmpty())
                        return true;
                }
            default:
                return false;
        }
    }

    QByteArray FData;
    qsizetype FPos = 0;
};

}  // namespace

void PropValue::Flatten(std::vector<QString>& out) const {
    if (!IsList) {
        out.push_back(Text);
        return;
    }
    for (const PropValue& item : Items)
        item.Flatten(out);
}

std::vector<std::vector<QString>> PropValue::Groups(int size) const {
    std::vector<std::vector<QString>> groups;
    std::vector<QString> flat;
    for (const PropValue& item : Items) {
        if (item.IsList) {
            std::vector<QString> group;
            item.Flatten(group);
            groups.push_back(std::move(group));
        } else {
            flat.push_back(item.Text);
            if (int(flat.size()) == size)
                groups.push_back(std::exchange(flat, {}));
        }
    }
    if (!flat.empty())
        groups.push_back(std::move(flat));
    return groups;
}

bool DecodePropData(const QString& hex, std::vector<PropEntry>& entries) {
    QByteArray raw = hex.trimmed().toLatin1();
    for (char c : raw)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    Reader r(QByteArray::fromHex(raw));
    while (!r.AtEnd()) {
        PropEntry e;
        if (!r.ShortString(e.Name))
            return false;
        if (e.Name.isEmpty())
            return true;
        if (!r.Value(e.Value, 0))
            return false;
        entries.push_back(std::move(e));
    }
    return true;
}

}  // namespace reportengine
