// Locate, the record search of TZMemTable: works directly on the stored records and their slots
// (layout in UZMemTable.h). Keys are converted once to the slot form; the scan then compares
// bytes. Case folding is that of Windows-1251 Cyrillic: small letters 0xE0..0xFF and ё (0xB8)
// fold to capitals; Latin letters are compared as stored.
#include "dataclient/UZMemTable.h"

#include "platform/ConvertError.h"
#include "platform/Cp1251.h"

#include <QUuid>
#include <array>
#include <cstring>

namespace dataclient {

using namespace platform;

namespace {

struct FoldTable {
    std::array<uint8_t, 256> map;
    FoldTable() {
        for (int c = 0; c < 256; ++c)
            map[size_t(c)] = uint8_t(c);
        map[0xB8] = 0xA8;
        for (int c = 0xE0; c <= 0xFF; ++c)
            map[size_t(c)] = uint8_t(c - 0x20);
    }
};
const FoldTable fold;

// Compare width of a type code; 0 for types that cannot be searched, -1 for text.
int GetFieldSize(int code) {
    switch (code) {
        case ftString:
            return -1;
        case ftSmallint:
        case ftWord:
        case ftBoolean:
            return 2;
        case ftInteger:
        case ftDate:
        case ftTime:
        case ftAutoInc:
            return 4;
        case ftFloat:
        case ftCurrency:
        case ftDateTime:
        case ftLargeint:
            return 8;
        case ftGuid:
            return 16;
        default:
            return 0;
    }
}

struct LocateKey {
    int offset = 0;
    int bit = 0;    // null-bit index among the data columns
    int width = 0;  // -1: text
    bool absent = false;
    QByteArray bytes;  // the key in slot form, or the (folded) text
};

template <typename T>
QByteArray raw(T value) {
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

QByteArray GetFieldValue(const Variant& key, int code, bool caseInsensitive) {
    switch (code) {
        case ftString: {
            QByteArray text = toCp1251(key.ToString());
            if (caseInsensitive)
                for (char& c : text)
                    c = char(fold.map[uint8_t(c)]);
            return text;
        }
        case ftSmallint:
            return raw(int16_t(key.ToInt()));
        case ftWord:
            return raw(uint16_t(key.ToInt()));
        case ftBoolean:
            return raw(int16_t(key.ToBool() ? 1 : 0));
        case ftInteger:
        case ftAutoInc:
            return raw(int32_t(key.ToInt()));
        case ftFloat:
        case ftCurrency:
            return raw(key.ToDouble());
        case ftDate:
            return raw(DateTimeToTimeStamp(key.ToDateTime()).Date);
        case ftTime:
            return raw(DateTimeToTimeStamp(key.ToDateTime()).Time);
        case ftDateTime:
            return raw(DateTimeToMSecs(key.ToDateTime()));
        case ftLargeint:
            return raw(key.ToInt64());
        default: {  // ftGuid
            const QString text = key.ToString();
            const QUuid uuid = QUuid::fromString(text);
            if (uuid.isNull() || !text.startsWith('{'))
                throw EConvertError("'" + text + "' is not a valid GUID value");
            QByteArray out = raw(uuid.data1) + raw(uuid.data2) + raw(uuid.data3);
            out.append(reinterpret_cast<const char*>(uuid.data4), 8);
            return out;
        }
    }
}

bool textMatches(const TValueBlocks& blocks, const char* slot, const LocateKey& key,
                 TLocateOptions options) {
    TBlockRef ref;
    std::memcpy(&ref, slot, sizeof ref);
    const TValueBlock* block = ref ? blocks.Get(ref) : nullptr;
    const int length = block ? block->BlockLength : 0;
    const int keyLength = int(key.bytes.size());
    if (options & loPartialKey) {
        if (length < keyLength)
            return false;
    } else if (length != keyLength) {
        return false;
    }
    if (keyLength == 0)
        return true;
    const auto* s = reinterpret_cast<const uint8_t*>(block->Data());
    const auto* k = reinterpret_cast<const uint8_t*>(key.bytes.constData());
    if (!(options & loCaseInsensitive))
        return std::memcmp(s, k, size_t(keyLength)) == 0;
    for (int i = 0; i < keyLength; ++i)
        if (fold.map[s[i]] != k[i])
            return false;
    return true;
}

}  // namespace

bool TZMemTable::Locate(const QString& keyFields, const Variant& keyValues,
                        TLocateOptions options) {
    CheckActive();
    DoBeforeScroll();
    std::vector<LocateKey> keys;
    const QStringList names = QString(keyFields).remove(' ').split(';');
    for (int k = 0; k < names.size(); ++k) {
        const QString upper = names[k].toUpper();
        TField* field = nullptr;
        for (TField* f : Fields())
            if (f->FieldName.toUpper() == upper) {
                field = f;
                break;
            }
        if (!field)
            DatabaseError("Field '" + names[k] + "' not found", this);
        const TMemFieldDef* def = FindMemFieldDef(field);
        const int width = GetFieldSize(def->DataType);
        if (width == 0)
            raise("TZMemTable.Locate.GetFieldSize",
                  "Неподдерживаемый тип поля " + FieldTypeName(def->DataType));
        // Stored records hold only the data part; a calculated column has nothing to compare.
        if (def->FieldKind != fkData)
            raise("TZMemTable.Locate",
                  "Поиск по вычисляемому полю " + field->FieldName + " не поддерживается");
        Variant key;
        if (keyValues.IsArray()) {
            if (k >= keyValues.Items().size())
                throw EVariantError("Variant or safe array index out of bounds");
            key = keyValues.Items()[k];
        } else if (k == 0) {
            key = keyValues;
        } else {
            throw EVariantError("Variant is not an array");
        }
        LocateKey lk;
        lk.offset = def->Offset;
        lk.bit = NullBitIndex(field);
        lk.width = width;
        lk.absent = key.IsNullOrEmpty();
        if (!lk.absent)
            lk.bytes = GetFieldValue(key, def->DataType, options & loCaseInsensitive);
        keys.push_back(std::move(lk));
    }

    for (int i = 0; i < FRecCount; ++i) {
        const char* record = Record(i);
        bool match = true;
        for (const LocateKey& key : keys) {
            const bool hasValue = (uint8_t(record[key.bit >> 3]) >> (key.bit & 7)) & 1;
            if (!hasValue || key.absent) {
                match = !hasValue && key.absent;
            } else if (key.width > 0) {
                match =
                    std::memcmp(record + key.offset, key.bytes.constData(), size_t(key.width)) == 0;
            } else {
                match = textMatches(FBlocks, record + key.offset, key, options);
            }
            if (!match)
                break;
        }
        // The filter is the costlier test, so it runs only for records whose keys match.
        if (!match || (Filtered() && !RecordAccepted(i)))
            continue;
        CheckBrowseMode();
        FCurRec = i;
        Resync();
        DoAfterScroll();
        return true;
    }
    return false;
}

}  // namespace dataclient
