#include "core/plu/PluTable.h"

#include "core/app/MsgINISupp.h"
#include "core/base/TextUtil.h"
#include "core/device/EcrRecords.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>

// --- Fields -------------------------------------------------------------------

namespace {

constexpr double kInt16Min = std::numeric_limits<int16_t>::min();
constexpr double kInt16Max = std::numeric_limits<int16_t>::max();
constexpr double kInt32Min = std::numeric_limits<int32_t>::min();
constexpr double kInt32Max = std::numeric_limits<int32_t>::max();

using F = TPluField;
using T = TPluFieldType;

const TPluFieldInfo kFields[kPluFieldCount] = {
    {F::NUMB, "NUMB", T::Int16, 0, 6, kMinPluNumb, kMaxPluNumb},
    {F::NAME, "NAME", T::Text, 20, 20, 0, 0},
    {F::UNIT, "UNIT", T::Text, 20, 20, 0, 0},
    {F::TAX_GROUP, "TAX_GROUP", T::Int16, 0, 6, kInt16Min, kInt16Max},
    {F::PAY_TYPE, "PAY_TYPE", T::Int32, 0, 6, kInt32Min, kInt32Max},
    {F::PLU_GROUP, "PLU_GROUP", T::Int16, 0, 6, kInt16Min, kInt16Max},
    {F::BARCODE, "BARCODE", T::Text, 500, 20, 0, 0},
    {F::PRICE_SELL, "PRICE_SELL", T::Double, 0, 12, 0, kMaxPluPrice},
    {F::PLU_SUBGROUP, "PLU_SUBGROUP", T::Int16, 0, 6, kInt16Min, kInt16Max},
    {F::ALTE_TAXE, "ALTE_TAXE", T::Text, 20, 20, 0, 0},
    {F::TAX_VALUE, "TAX_VALUE", T::Text, 20, 20, 0, 0},
    {F::COMMENT, "COMMENT", T::Text, 20, 20, 0, 0},
    {F::FLAGS, "FLAGS", T::Text, kPluFlagsWidth, kPluFlagsWidth, 0, 0},
};

// The shortest text that reads back as the same double ("-0.01", "30000",
// "10000000"); an exponent only for magnitudes no price has.
std::string NumberText(double value)
{
    char buf[64];
    const double magnitude = std::fabs(value);
    const bool plain = magnitude == 0 || (magnitude >= 1e-4 && magnitude < 1e15);
    const auto r = plain ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed)
                         : std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string RangeText(const TPluFieldInfo& info)
{
    return NumberText(info.Min) + " to " + NumberText(info.Max);
}

[[noreturn]] void WrongType(TPluField field, const char* what)
{
    throw std::logic_error(std::string("PLU field ") + PluFieldInfo(field).Name + " is not " + what);
}

std::string_view Cut(std::string_view text, int width)
{
    return text.size() > static_cast<std::size_t>(width) ? text.substr(0, static_cast<std::size_t>(width)) : text;
}

} // namespace

const TPluFieldInfo& PluFieldInfo(TPluField field) { return kFields[static_cast<int>(field)]; }

const TPluFieldInfo& PluFieldInfo(int index)
{
    if (index < 0 || index >= kPluFieldCount)
        throw std::out_of_range("PLU field index " + std::to_string(index));
    return kFields[index];
}

std::optional<TPluField> PluFieldByName(std::string_view name)
{
    for (const auto& info : kFields)
        if (name == info.Name)
            return info.Field;
    return std::nullopt;
}

std::string PluFieldDisplayLabel(TPluField field)
{
    switch (field) {
    case F::NUMB: return S_Number;
    case F::NAME: return "PLU Name";
    case F::UNIT: return "UNIT";
    case F::TAX_GROUP: return S_TaxGroip;
    case F::PAY_TYPE: return S_PayType;
    case F::PLU_GROUP: return S_PluGroup;
    case F::BARCODE: return S_Barcode;
    case F::PRICE_SELL: return S_SellPrice;
    case F::PLU_SUBGROUP: return S_PluSubGroup;
    case F::ALTE_TAXE: return "Alte Taxe";
    case F::TAX_VALUE: return "Tax Value";
    case F::COMMENT: return S_Comment;
    case F::FLAGS: return S_Flags;
    }
    return {};
}

EPluFieldError::EPluFieldError(TPluField field, std::string valueText, std::string rangeText)
    : std::runtime_error(std::string("Field ") + PluFieldInfo(field).Name + ": " + valueText +
                         " is outside the allowed range " + rangeText + "."),
      field_(field), valueText_(std::move(valueText)), rangeText_(std::move(rangeText))
{
}

// --- Flags ------------------------------------------------------------------------

bool PluFlagSet(std::string_view flags, int position)
{
    return position >= 1 && static_cast<std::size_t>(position) <= flags.size() && flags[position - 1] == '1';
}

std::string PluFlagsText(const std::array<bool, kPluFlagsWidth>& flags)
{
    std::string text(kPluFlagsWidth, '0');
    for (int i = 0; i < kPluFlagsWidth; ++i)
        if (flags[i])
            text[i] = '1';
    return text;
}

std::array<bool, kPluFlagsWidth> PluFlagsFromText(std::string_view flags)
{
    std::array<bool, kPluFlagsWidth> out{};
    for (int i = 0; i < kPluFlagsWidth; ++i)
        out[i] = PluFlagSet(flags, i + 1);
    return out;
}

bool PluFlagsShownDeleted(std::string_view flags)
{
    return flags.size() >= static_cast<std::size_t>(kPluFlagsWidth) && PluFlagsDeleted(flags);
}

std::string PluFlagsMarkedDeleted(std::string_view flags)
{
    std::string text(flags);
    if (text.size() < static_cast<std::size_t>(kPluFlagsWidth))
        text.resize(kPluFlagsWidth, '0');
    text[kPluDeletedFlagPosition - 1] = '1';
    return text;
}

// --- Case -------------------------------------------------------------------------

namespace {

// Upper case of every byte of Windows-1251: Latin a-z, Cyrillic а-я in one
// run, and the letters of the other Cyrillic alphabets scattered in the
// upper half.
const std::array<unsigned char, 256> kUpper = [] {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = static_cast<unsigned char>(i);
    for (int c = 'a'; c <= 'z'; ++c)
        t[c] = static_cast<unsigned char>(c - 'a' + 'A');
    for (int c = 0xE0; c <= 0xFF; ++c)
        t[c] = static_cast<unsigned char>(c - 0x20);
    const unsigned char pairs[][2] = {
        {0x83, 0x81}, {0x90, 0x80}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9D, 0x8D}, {0x9E, 0x8E},
        {0x9F, 0x8F}, {0xA2, 0xA1}, {0xB3, 0xB2}, {0xB4, 0xA5}, {0xB8, 0xA8}, {0xBA, 0xAA},
        {0xBC, 0xA3}, {0xBE, 0xBD}, {0xBF, 0xAF},
    };
    for (const auto& p : pairs)
        t[p[0]] = p[1];
    return t;
}();

inline unsigned char Up(char c) { return kUpper[static_cast<unsigned char>(c)]; }

} // namespace

char PluUpperChar(char c) { return static_cast<char>(Up(c)); }

std::string PluUpperText(std::string_view text)
{
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<char>(Up(text[i]));
    return out;
}

bool PluTextEqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && PluTextStartsNoCase(a, b);
}

bool PluTextStartsNoCase(std::string_view text, std::string_view prefix)
{
    if (prefix.size() > text.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Up(text[i]) != Up(prefix[i]))
            return false;
    return true;
}

int PluTextCompareNoCase(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = Up(a[i]), y = Up(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// --- Row --------------------------------------------------------------------------

namespace {

template <class Row>
auto& IntMember(Row& row, TPluField field)
{
    switch (field) {
    case F::NUMB: return row.NUMB;
    case F::TAX_GROUP: return row.TAX_GROUP;
    case F::PLU_GROUP: return row.PLU_GROUP;
    case F::PLU_SUBGROUP: return row.PLU_SUBGROUP;
    default: WrongType(field, "a 16-bit integer");
    }
}

// The text fields' members.
const std::pair<std::string TPluRow::*, TPluField> kTextMembers[] = {
    {&TPluRow::NAME, F::NAME},           {&TPluRow::UNIT, F::UNIT},         {&TPluRow::BARCODE, F::BARCODE},
    {&TPluRow::ALTE_TAXE, F::ALTE_TAXE}, {&TPluRow::TAX_VALUE, F::TAX_VALUE}, {&TPluRow::COMMENT, F::COMMENT},
    {&TPluRow::FLAGS, F::FLAGS},
};

template <class Row>
auto& TextMember(Row& row, TPluField field)
{
    switch (field) {
    case F::NAME: return row.NAME;
    case F::UNIT: return row.UNIT;
    case F::BARCODE: return row.BARCODE;
    case F::ALTE_TAXE: return row.ALTE_TAXE;
    case F::TAX_VALUE: return row.TAX_VALUE;
    case F::COMMENT: return row.COMMENT;
    case F::FLAGS: return row.FLAGS;
    default: WrongType(field, "a text");
    }
}

} // namespace

void TPluRow::SetInt(TPluField field, int64_t value)
{
    const TPluFieldInfo& info = PluFieldInfo(field);
    if (info.Type == T::Text)
        WrongType(field, "a number");
    if (info.Type == T::Double) {
        SetFloat(field, static_cast<double>(value));
        return;
    }
    if (static_cast<double>(value) < info.Min || static_cast<double>(value) > info.Max)
        throw EPluFieldError(field, std::to_string(value), RangeText(info));
    if (field == F::PAY_TYPE)
        PAY_TYPE = static_cast<int32_t>(value);
    else
        IntMember(*this, field) = static_cast<int16_t>(value);
}

void TPluRow::SetFloat(TPluField field, double value)
{
    if (field != F::PRICE_SELL)
        WrongType(field, "a price");
    const TPluFieldInfo& info = PluFieldInfo(field);
    if (!(value >= info.Min && value <= info.Max))
        throw EPluFieldError(field, NumberText(value), RangeText(info));
    PRICE_SELL = value;
}

void TPluRow::SetText(TPluField field, std::string_view text)
{
    TextMember(*this, field).assign(Cut(text, PluFieldInfo(field).Width));
}

double TPluRow::Number(TPluField field) const
{
    return field == F::PRICE_SELL ? PRICE_SELL : static_cast<double>(Int(field));
}

int64_t TPluRow::Int(TPluField field) const
{
    return field == F::PAY_TYPE ? PAY_TYPE : IntMember(*this, field);
}

const std::string& TPluRow::Text(TPluField field) const { return TextMember(*this, field); }

std::string TPluRow::DisplayText(TPluField field) const
{
    switch (PluFieldInfo(field).Type) {
    case T::Text: return Text(field);
    case T::Double: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.3f", PRICE_SELL);
        return buf;
    }
    default: return std::to_string(Int(field));
    }
}

// --- Barcodes ---------------------------------------------------------------------

namespace {

// Calls each with every barcode of a BARCODE text. A text without a comma
// is its one barcode; others are split by SplitText, into scratch.
template <class Each>
void ForEachBarcode(std::string_view barcodeText, std::vector<std::string>& scratch, Each each)
{
    if (std::all_of(barcodeText.begin(), barcodeText.end(), IsBlankOrControl))
        return;
    if (barcodeText.find(',') == std::string_view::npos) {
        each(barcodeText);
        return;
    }
    scratch.clear();
    SplitText(barcodeText, scratch, ',');
    for (const auto& barcode : scratch)
        each(barcode);
}

} // namespace

std::vector<std::string> PluBarcodes(std::string_view barcodeText)
{
    std::vector<std::string> list;
    std::vector<std::string> scratch;
    ForEachBarcode(barcodeText, scratch, [&](std::string_view barcode) { list.emplace_back(barcode); });
    return list;
}

namespace {

// FNV-1a over the upper-case bytes, then mixed so that the low bits, which
// pick the slot, depend on every byte.
uint32_t HashUpper(std::string_view upper)
{
    uint64_t h = 14695981039346656037ULL;
    for (char c : upper)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    return static_cast<uint32_t>(h ^ (h >> 33));
}

} // namespace

TUsedBarcodes::TSlot* TUsedBarcodes::Find(std::string_view upper, uint32_t hash)
{
    if (slots_.empty())
        return nullptr;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        TSlot& slot = slots_[i];
        if (slot.entry == 0)
            return &slot;
        if (slot.hash == hash) {
            const TEntry& e = entries_[slot.entry - 1];
            if (std::string_view(pool_).substr(e.offset, e.length) == upper)
                return &slot;
        }
    }
}

const TUsedBarcodes::TEntry* TUsedBarcodes::Find(std::string_view barcode) const
{
    const std::string upper = PluUpperText(barcode);
    const TSlot* slot = const_cast<TUsedBarcodes*>(this)->Find(upper, HashUpper(upper));
    if (!slot || slot->entry == 0 || entries_[slot->entry - 1].count == 0)
        return nullptr;
    return &entries_[slot->entry - 1];
}

void TUsedBarcodes::Grow()
{
    std::vector<TSlot> old(std::max<std::size_t>(64, slots_.size() * 2));
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const TSlot& slot : old) {
        if (slot.entry == 0)
            continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].entry != 0)
            i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

void TUsedBarcodes::Add(std::string_view barcode)
{
    if ((entries_.size() + 1) * 2 > slots_.size())
        Grow();
    // The upper-case form goes to the pool's end at once and stays there
    // only when it is new.
    const std::size_t offset = pool_.size();
    pool_.resize(offset + barcode.size());
    for (std::size_t i = 0; i < barcode.size(); ++i)
        pool_[offset + i] = static_cast<char>(Up(barcode[i]));
    const std::string_view upper = std::string_view(pool_).substr(offset);
    const uint32_t hash = HashUpper(upper);
    TSlot* slot = Find(upper, hash);
    if (slot->entry == 0) {
        entries_.push_back({static_cast<uint32_t>(offset), static_cast<uint32_t>(upper.size()), 0});
        *slot = {hash, static_cast<uint32_t>(entries_.size())};
    } else {
        pool_.resize(offset);
    }
    TEntry& e = entries_[slot->entry - 1];
    if (e.count > 0 && refuseDuplicates_)
        throw EDuplicateBarcode();
    ++e.count;
    ++count_;
}

void TUsedBarcodes::AddBarcodesOf(std::string_view barcodeText)
{
    ForEachBarcode(barcodeText, split_, [this](std::string_view barcode) { Add(barcode); });
}

bool TUsedBarcodes::Remove(std::string_view barcode)
{
    TEntry* e = const_cast<TEntry*>(Find(barcode));
    if (!e)
        return false;
    --e->count;
    --count_;
    return true;
}

void TUsedBarcodes::RemoveBarcodesOf(std::string_view barcodeText)
{
    ForEachBarcode(barcodeText, split_, [this](std::string_view barcode) { Remove(barcode); });
}

bool TUsedBarcodes::Contains(std::string_view barcode) const { return Find(barcode) != nullptr; }

int TUsedBarcodes::Occurrences(std::string_view barcode) const
{
    const TEntry* e = Find(barcode);
    return e ? e->count : 0;
}

void TUsedBarcodes::Clear()
{
    // The room stays for the next load, which is usually of the same size.
    std::fill(slots_.begin(), slots_.end(), TSlot());
    entries_.clear();
    pool_.clear();
    count_ = 0;
}

// --- Table ------------------------------------------------------------------------

namespace {

constexpr uint32_t kNoSlot = UINT32_MAX;

// Sorts the keys of the slots stably and puts the slots in that order.
template <class Key>
void StableOrder(std::vector<std::pair<Key, uint32_t>>& keys, bool ascending, std::vector<uint32_t>& order)
{
    using K = std::pair<Key, uint32_t>;
    if (ascending)
        std::stable_sort(keys.begin(), keys.end(), [](const K& a, const K& b) { return a.first < b.first; });
    else
        std::stable_sort(keys.begin(), keys.end(), [](const K& a, const K& b) { return b.first < a.first; });
    for (std::size_t p = 0; p < keys.size(); ++p)
        order[p] = keys[p].second;
}

} // namespace

// What suspended updates have held back.
struct PluTable::TPending {
    bool resetBegun = false;
    int changedFirst = INT_MAX;
    int changedLast = -1;
    bool currentChanged = false;
};

PluTable::PluTable() : headByNumber_(kMaxPluNumb + 1, kNoSlot), pending_(std::make_unique<TPending>()) {}

PluTable::~PluTable() = default;

void PluTable::Open() { open_ = true; }

void PluTable::Close()
{
    Clear();
    open_ = false;
}

uint32_t PluTable::SlotAt(int position) const
{
    if (position < 0 || position >= Count())
        throw std::out_of_range("PLU row position " + std::to_string(position) + " of " + std::to_string(Count()));
    return order_[static_cast<std::size_t>(position)];
}

const TPluRow& PluTable::Row(int position) const { return slots_[SlotAt(position)]; }

void PluTable::Normalize(TPluRow& row)
{
    // The members can be written directly, so the rules are applied again
    // here; the integer members' types hold their other ranges.
    row.SetInt(F::NUMB, row.NUMB);
    row.SetFloat(F::PRICE_SELL, row.PRICE_SELL);
    for (const auto& [member, field] : kTextMembers) {
        const auto width = static_cast<std::size_t>(kFields[static_cast<int>(field)].Width);
        if ((row.*member).size() > width)
            (row.*member).resize(width);
    }
}

void PluTable::IndexNumber(int numb, uint32_t slot)
{
    nextSameNumber_[slot] = headByNumber_[static_cast<std::size_t>(numb)];
    headByNumber_[static_cast<std::size_t>(numb)] = slot;
}

void PluTable::UnindexNumber(int numb, uint32_t slot)
{
    uint32_t* link = &headByNumber_[static_cast<std::size_t>(numb)];
    while (*link != kNoSlot && *link != slot)
        link = &nextSameNumber_[*link];
    if (*link == slot)
        *link = nextSameNumber_[slot];
}

void PluTable::RebuildPositions(std::size_t from)
{
    for (std::size_t p = from; p < order_.size(); ++p)
        positionOfSlot_[order_[p]] = static_cast<int>(p);
}

template <class Each>
void PluTable::Notify(Each each)
{
    for (auto* observer : std::vector<TPluTableObserver*>(observers_))
        each(*observer);
}

bool PluTable::BeginStructure()
{
    if (updateDepth_ == 0)
        return true;
    if (!pending_->resetBegun) {
        pending_->resetBegun = true;
        Notify([](TPluTableObserver& o) { o.BeginReset(); });
    }
    return false;
}

void PluTable::NotifyRowsChanged(int first, int last)
{
    if (updateDepth_ > 0) {
        pending_->changedFirst = std::min(pending_->changedFirst, first);
        pending_->changedLast = std::max(pending_->changedLast, last);
        return;
    }
    Notify([&](TPluTableObserver& o) { o.RowsChanged(first, last); });
}

void PluTable::MoveCurrent(int position, bool always)
{
    if (position == current_ && !always)
        return;
    current_ = position;
    if (updateDepth_ > 0)
        pending_->currentChanged = true;
    else
        Notify([&](TPluTableObserver& o) { o.CurrentChanged(position); });
}

int PluTable::AppendRow(TPluRow row)
{
    if (!open_)
        throw std::logic_error("the PLU table is closed");
    Normalize(row);
    const int position = Count();
    const bool tell = BeginStructure();
    if (tell)
        Notify([&](TPluTableObserver& o) { o.BeginAppend(position); });
    const auto slot = static_cast<uint32_t>(slots_.size());
    slots_.push_back(std::move(row));
    nextSameNumber_.push_back(kNoSlot);
    positionOfSlot_.push_back(position);
    order_.push_back(slot);
    IndexNumber(slots_.back().NUMB, slot);
    if (tell)
        Notify([](TPluTableObserver& o) { o.EndAppend(); });
    MoveCurrent(position, false);
    return position;
}

void PluTable::SetRow(int position, TPluRow row)
{
    const uint32_t slot = SlotAt(position);
    Normalize(row);
    TPluRow& target = slots_[slot];
    const int oldNumb = target.NUMB;
    target = std::move(row);
    if (target.NUMB != oldNumb) {
        UnindexNumber(oldNumb, slot);
        IndexNumber(target.NUMB, slot);
    }
    NotifyRowsChanged(position, position);
}

void PluTable::RemoveRow(int position)
{
    const uint32_t slot = SlotAt(position);
    const bool tell = BeginStructure();
    if (tell)
        Notify([&](TPluTableObserver& o) { o.BeginRemove(position); });
    UnindexNumber(slots_[slot].NUMB, slot);
    slots_[slot] = TPluRow();
    positionOfSlot_[slot] = -1;
    order_.erase(order_.begin() + position);
    RebuildPositions(static_cast<std::size_t>(position));
    if (tell)
        Notify([](TPluTableObserver& o) { o.EndRemove(); });
    int current = current_;
    if (current > position)
        --current;
    current = std::min(current, Count() - 1);
    MoveCurrent(current, true);
}

void PluTable::Clear()
{
    const bool tell = BeginStructure();
    if (tell)
        Notify([](TPluTableObserver& o) { o.BeginReset(); });
    idBase_ += static_cast<TPluRowId>(slots_.size());
    slots_.clear();
    nextSameNumber_.clear();
    positionOfSlot_.clear();
    order_.clear();
    std::fill(headByNumber_.begin(), headByNumber_.end(), kNoSlot);
    if (tell)
        Notify([](TPluTableObserver& o) { o.EndReset(); });
    MoveCurrent(-1, true);
}

void PluTable::Reserve(int rows)
{
    const auto n = static_cast<std::size_t>(std::max(rows, 0));
    slots_.reserve(slots_.size() + n);
    nextSameNumber_.reserve(slots_.size() + n);
    positionOfSlot_.reserve(slots_.size() + n);
    order_.reserve(order_.size() + n);
}

TPluRowId PluTable::Id(int position) const { return idBase_ + static_cast<TPluRowId>(SlotAt(position)); }

int PluTable::Position(TPluRowId id) const
{
    const TPluRowId slot = id - idBase_;
    if (id < 0 || slot < 0 || slot >= static_cast<TPluRowId>(slots_.size()))
        return -1;
    return positionOfSlot_[static_cast<std::size_t>(slot)];
}

std::vector<TPluRowId> PluTable::CreationOrder(const std::vector<int>& positions) const
{
    std::vector<TPluRowId> ids;
    ids.reserve(positions.size());
    for (int p : positions)
        ids.push_back(Id(p));
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

void PluTable::SetCurrent(int position)
{
    SlotAt(position);
    MoveCurrent(position, false);
}

bool PluTable::GotoBookmark(TPluRowId bookmark)
{
    const int position = Position(bookmark);
    if (position < 0)
        return false;
    MoveCurrent(position, false);
    return true;
}

void PluTable::Sort(TPluField field, bool ascending)
{
    if (Count() < 2)
        return;
    const TPluRowId currentId = Bookmark();
    const bool tell = BeginStructure();
    if (tell)
        Notify([](TPluTableObserver& o) { o.BeginReorder(); });
    if (PluFieldIsText(field)) {
        // Upper-case keys: their plain byte order is the order without
        // regard to case.
        std::vector<std::pair<std::string, uint32_t>> keys;
        keys.reserve(order_.size());
        for (uint32_t slot : order_)
            keys.emplace_back(PluUpperText(slots_[slot].Text(field)), slot);
        StableOrder(keys, ascending, order_);
    } else {
        std::vector<std::pair<double, uint32_t>> keys;
        keys.reserve(order_.size());
        for (uint32_t slot : order_)
            keys.emplace_back(slots_[slot].Number(field), slot);
        StableOrder(keys, ascending, order_);
    }
    RebuildPositions(0);
    if (tell)
        Notify([](TPluTableObserver& o) { o.EndReorder(); });
    MoveCurrent(Position(currentId), true);
}

int PluTable::Find(TPluField field, std::string_view textPrefix) const
{
    if (!PluFieldIsText(field))
        WrongType(field, "a text");
    for (int p = 0; p < Count(); ++p)
        if (PluTextStartsNoCase(slots_[order_[static_cast<std::size_t>(p)]].Text(field), textPrefix))
            return p;
    return -1;
}

int PluTable::Find(TPluField field, double number) const
{
    if (PluFieldIsText(field))
        WrongType(field, "a number");
    for (int p = 0; p < Count(); ++p)
        if (slots_[order_[static_cast<std::size_t>(p)]].Number(field) == number)
            return p;
    return -1;
}

bool PluTable::Locate(TPluField field, std::string_view textPrefix)
{
    const int p = Find(field, textPrefix);
    if (p >= 0)
        MoveCurrent(p, false);
    return p >= 0;
}

bool PluTable::Locate(TPluField field, double number)
{
    const int p = Find(field, number);
    if (p >= 0)
        MoveCurrent(p, false);
    return p >= 0;
}

std::vector<int> PluTable::PositionsWithNumber(int numb) const
{
    std::vector<int> positions;
    if (numb < kMinPluNumb || numb > kMaxPluNumb)
        return positions;
    for (uint32_t s = headByNumber_[static_cast<std::size_t>(numb)]; s != kNoSlot; s = nextSameNumber_[s])
        positions.push_back(positionOfSlot_[s]);
    std::sort(positions.begin(), positions.end());
    return positions;
}

int PluTable::FindNumber(int numb) const
{
    int first = -1;
    if (numb < kMinPluNumb || numb > kMaxPluNumb)
        return first;
    for (uint32_t s = headByNumber_[static_cast<std::size_t>(numb)]; s != kNoSlot; s = nextSameNumber_[s])
        if (first < 0 || positionOfSlot_[s] < first)
            first = positionOfSlot_[s];
    return first;
}

int PluTable::ProposeNumber() const
{
    int highest = 0;
    for (uint32_t slot : order_)
        if (!slots_[slot].Deleted())
            highest = std::max<int>(highest, slots_[slot].NUMB);
    return highest + 1;
}

void PluTable::MarkDeleted(int position)
{
    TPluRow row = Row(position);
    row.FLAGS = PluFlagsMarkedDeleted(row.FLAGS);
    SetRow(position, row);
}

void PluTable::BeginUpdate() { ++updateDepth_; }

void PluTable::EndUpdate()
{
    if (updateDepth_ == 0 || --updateDepth_ > 0)
        return;
    TPending done = *pending_;
    *pending_ = TPending();
    if (done.resetBegun) {
        Notify([](TPluTableObserver& o) { o.EndReset(); });
        Notify([&](TPluTableObserver& o) { o.CurrentChanged(current_); });
        return;
    }
    if (done.changedLast >= 0)
        Notify([&](TPluTableObserver& o) { o.RowsChanged(done.changedFirst, std::min(done.changedLast, Count() - 1)); });
    if (done.currentChanged)
        Notify([&](TPluTableObserver& o) { o.CurrentChanged(current_); });
}

void PluTable::AddObserver(TPluTableObserver* observer)
{
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void PluTable::RemoveObserver(TPluTableObserver* observer)
{
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}
