#include "core/plu/PluFile.h"

#include "core/base/FileUtil.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>

namespace {

using F = TPluField;

// Where each field lives in a record. Numbers have capacity 0.
struct TPlace {
    TPluField field;
    std::size_t offset;
    std::size_t capacity;
};

// By field, in the table's field order, which is also the order in which a
// loaded record's values are assigned. The offsets give the record's own
// order: NUMB, UNIT, BARCODE, NAME, PRICE_SELL, PLU_GROUP, PLU_SUBGROUP,
// TAX_GROUP, PAY_TYPE, ALTE_TAXE, TAX_VALUE, COMMENT, FLAGS.
constexpr TPlace kPlaces[kPluFieldCount] = {
    {F::NUMB, 0, 0},
    {F::NAME, 50, 24},
    {F::UNIT, 4, 20},
    {F::TAX_GROUP, 96, 0},
    {F::PAY_TYPE, 100, 0},
    {F::PLU_GROUP, 88, 0},
    {F::BARCODE, 25, 24},
    {F::PRICE_SELL, 80, 0},
    {F::PLU_SUBGROUP, 92, 0},
    {F::ALTE_TAXE, 104, 15},
    {F::TAX_VALUE, 120, 15},
    {F::COMMENT, 136, 21},
    {F::FLAGS, 158, 12},
};
static_assert([] {
    for (int i = 0; i < kPluFieldCount; ++i)
        if (static_cast<int>(kPlaces[i].field) != i)
            return false;
    return true;
}());

// The texts among them.
constexpr auto kTextPlaces = [] {
    std::array<TPlace, 7> texts{};
    std::size_t n = 0;
    for (const auto& place : kPlaces)
        if (place.capacity > 0)
            texts[n++] = place;
    return texts;
}();

// Little-endian integers of 4 or 8 bytes; on a little-endian machine the
// bytes are copied as they are.
template <class U>
U SwapToLE(U value)
{
    if constexpr (std::endian::native == std::endian::little)
        return value;
    U swapped = 0;
    for (std::size_t i = 0; i < sizeof value; ++i, value >>= 8)
        swapped = static_cast<U>((swapped << 8) | (value & 0xFF));
    return swapped;
}

template <class U>
void PutLE(char* at, U value)
{
    value = SwapToLE(value);
    std::memcpy(at, &value, sizeof value);
}

template <class U>
U GetLE(const char* at)
{
    U value;
    std::memcpy(&value, at, sizeof value);
    return SwapToLE(value);
}

void EncodeInto(char* record, const TPluRow& row)
{
    for (const auto& place : kPlaces) {
        char* at = record + place.offset;
        if (place.capacity > 0) {
            const std::string& text = row.Text(place.field);
            const std::size_t n = std::min(text.size(), place.capacity);
            at[0] = static_cast<char>(n);
            std::memcpy(at + 1, text.data(), n);
        } else if (place.field == F::PRICE_SELL) {
            uint64_t bits;
            std::memcpy(&bits, &row.PRICE_SELL, sizeof bits);
            PutLE(at, bits);
        } else {
            PutLE(at, static_cast<uint32_t>(static_cast<int32_t>(row.Int(place.field))));
        }
    }
}

// The first text field whose length byte exceeds its capacity; nothing when
// all fit.
const TPlace* OverlongText(const char* record)
{
    for (const auto& place : kTextPlaces)
        if (static_cast<unsigned char>(record[place.offset]) > place.capacity)
            return &place;
    return nullptr;
}

std::string TextAt(const char* record, TPluField field)
{
    const char* at = record + kPlaces[static_cast<int>(field)].offset;
    return std::string(at + 1, static_cast<unsigned char>(at[0]));
}

// The texts go straight into the row (appending it cuts them to their
// widths); the numbers through the row's setters in the table's field
// order, so that the first refused one is the one named.
TPluRow DecodeRecord(const char* record)
{
    TPluRow row{
        .NAME = TextAt(record, F::NAME),
        .UNIT = TextAt(record, F::UNIT),
        .BARCODE = TextAt(record, F::BARCODE),
        .ALTE_TAXE = TextAt(record, F::ALTE_TAXE),
        .TAX_VALUE = TextAt(record, F::TAX_VALUE),
        .COMMENT = TextAt(record, F::COMMENT),
        .FLAGS = TextAt(record, F::FLAGS),
    };
    for (const auto& place : kPlaces) {
        const char* at = record + place.offset;
        if (place.capacity > 0)
            continue;
        if (place.field == F::PRICE_SELL) {
            const auto bits = GetLE<uint64_t>(at);
            double price;
            std::memcpy(&price, &bits, sizeof price);
            row.SetFloat(place.field, price);
        } else {
            row.SetInt(place.field, static_cast<int32_t>(GetLE<uint32_t>(at)));
        }
    }
    return row;
}

std::string SystemError(int error) { return std::strerror(error != 0 ? error : EIO); }

} // namespace

std::string EncodePluRecord(const TPluRow& row)
{
    std::string record(kPluRecordSize, '\0');
    EncodeInto(record.data(), row);
    return record;
}

std::string EncodePluFile(const PluTable& table)
{
    std::string bytes(kPluRecordSize * static_cast<std::size_t>(table.Count()), '\0');
    for (int p = 0; p < table.Count(); ++p)
        EncodeInto(bytes.data() + kPluRecordSize * static_cast<std::size_t>(p), table.Row(p));
    return bytes;
}

std::vector<TPluField> PluRecordCuts(const TPluRow& row)
{
    std::vector<TPluField> cut;
    for (const auto& place : kTextPlaces)
        if (row.Text(place.field).size() > place.capacity)
            cut.push_back(place.field);
    return cut;
}

TPluLoadResult LoadPluBytes(std::string_view bytes, PluTable& table, TUsedBarcodes& barcodes)
{
    TPluLoadResult result;
    const std::size_t count = bytes.size() / kPluRecordSize;
    // A length byte over its capacity is no file of ours: refuse it before
    // the user's table is emptied.
    for (std::size_t r = 0; r < count; ++r) {
        if (const TPlace* place = OverlongText(bytes.data() + r * kPluRecordSize)) {
            result.Ok = false;
            result.Record = static_cast<int>(r);
            result.Reason = std::string("the length byte of ") + PluFieldInfo(place->field).Name + " is " +
                            std::to_string(static_cast<unsigned char>(bytes[r * kPluRecordSize + place->offset])) +
                            ", more than its capacity of " + std::to_string(place->capacity);
            return result;
        }
    }

    TPluUpdateGuard quiet(table);
    table.Clear();
    barcodes.Clear();
    result.TableReplaced = true;
    table.Reserve(static_cast<int>(count));
    for (std::size_t r = 0; r < count; ++r) {
        try {
            table.AppendRow(DecodeRecord(bytes.data() + r * kPluRecordSize));
        } catch (const EPluFieldError& e) {
            result.Ok = false;
            result.Record = static_cast<int>(r);
            result.Reason = e.what();
            break;
        }
    }
    // The barcodes in a pass of their own, which keeps the barcode list in
    // the cache. A refused one ends the load at its row as if each row's
    // barcodes had been added right after it: the rows after it go again.
    for (int p = 0; p < table.Count(); ++p) {
        try {
            barcodes.AddBarcodesOf(table.Row(p).BARCODE);
        } catch (const EDuplicateBarcode& e) {
            while (table.Count() > p + 1)
                table.RemoveRow(table.Count() - 1);
            result.Ok = false;
            result.Record = p;
            result.Reason = e.what();
            break;
        }
    }
    return result;
}

TPluLoadResult LoadPluFile(const std::string& path, PluTable& table, TUsedBarcodes& barcodes)
{
    std::string bytes;
    errno = 0;
    if (!ReadWholeFile(path, bytes)) {
        TPluLoadResult result;
        result.Ok = false;
        result.Reason = SystemError(errno);
        return result;
    }
    return LoadPluBytes(bytes, table, barcodes);
}

bool SavePluFile(const std::string& path, PluTable& table, std::string& error)
{
    const std::string bytes = EncodePluFile(table);
    errno = 0;
    if (!WriteFileAtomic(path, bytes)) {
        // A file the user marked read-only is refused before the system is
        // asked, so no error number is set for it.
        error = std::strerror(errno != 0 ? errno : EACCES);
        return false;
    }
    error.clear();
    if (!table.Empty())
        table.SetCurrent(table.Count() - 1);
    return true;
}
