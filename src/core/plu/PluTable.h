#pragma once
// The PLU list the user edits: an in-memory table of PLU rows with the
// field rules every source of rows goes through (the register, .plu files,
// workbooks, the edit dialogs), and the list of barcodes in use beside it.
//
// Texts are Windows-1251 bytes (core/base/CodePage.h); a width of 20 is 20
// bytes. Nothing here converts characters.
//
// Rows have two orders. The creation order is the order in which rows were
// appended; each row keeps a TPluRowId from creation to removal, ids grow
// with creation, so sorting ids gives the creation order (the grid's
// selection is walked in it). The current order is what the grid shows and
// what files are written in; Sort reorders it once, and rows appended later
// go to its end. Positions (0 .. Count()-1) index the current order.
//
//   PluTable table;
//   TPluRow row;
//   row.SetInt(TPluField::NUMB, 7);            // throws EPluFieldError on 0
//   row.SetText(TPluField::NAME, "Milk");      // cut to 20 bytes
//   table.AppendRow(row);                      // the new row becomes current
//   table.Sort(TPluField::NAME, true);
//   int at = table.Find(TPluField::NAME, "mi"); // 0

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// --- Fields -------------------------------------------------------------------

// The thirteen fields in the table's field order; the .plu loader and the
// JSON rows of ecrtool use this order. The grid shows another column order.
enum class TPluField : int {
    NUMB,
    NAME,
    UNIT,
    TAX_GROUP,
    PAY_TYPE,
    PLU_GROUP,
    BARCODE,
    PRICE_SELL,
    PLU_SUBGROUP,
    ALTE_TAXE,
    TAX_VALUE,
    COMMENT,
    FLAGS,
};
inline constexpr int kPluFieldCount = 13;

enum class TPluFieldType { Int16, Int32, Double, Text };

struct TPluFieldInfo {
    TPluField Field;
    const char* Name;     // "NUMB": the field name, also the JSON key
    TPluFieldType Type;
    int Width;            // texts: at most this many bytes are kept; numbers: 0
    int DisplayWidth;     // characters the grid column is sized for
    // Numbers: the values an assignment accepts. For fields without limits
    // of their own this is the range of the storage type.
    double Min;
    double Max;
};

// Field information by field, by index in field order (0..12) and by name
// (exact, upper case as above; nothing for an unknown name).
const TPluFieldInfo& PluFieldInfo(TPluField field);
const TPluFieldInfo& PluFieldInfo(int index);
std::optional<TPluField> PluFieldByName(std::string_view name);
inline int PluFieldIndex(TPluField field) { return static_cast<int>(field); }
inline bool PluFieldIsText(TPluField field) { return PluFieldInfo(field).Type == TPluFieldType::Text; }

// The field's display label from the message catalogue, in the chosen
// language ("Number", "PLU Name", "UNIT", "Tax Group", ...). The grid's
// column titles differ for PLU_SUBGROUP ("Department") and are the view's.
std::string PluFieldDisplayLabel(TPluField field);

inline constexpr int kMinPluNumb = 1;
inline constexpr int kMaxPluNumb = 29999;
inline constexpr double kMaxPluPrice = 9999999.999;
inline constexpr int kPluFlagsWidth = 9;

// A refused assignment: a number outside its field's range. The message
// names all three, e.g.
//   "Field NUMB: 30000 is outside the allowed range 1 to 29999."
class EPluFieldError : public std::runtime_error {
public:
    EPluFieldError(TPluField field, std::string valueText, std::string rangeText);
    TPluField Field() const { return field_; }
    const std::string& ValueText() const { return valueText_; }
    const std::string& RangeText() const { return rangeText_; }

private:
    TPluField field_;
    std::string valueText_;
    std::string rangeText_;
};

// --- The flags text ---------------------------------------------------------
// Nine characters '0'/'1', position n (1..9) being flag n. A shorter text is
// read as if padded with '0' on the right.

inline constexpr int kPluDeletedFlagPosition = 8;

// Flag n (1..9) is set when the text has at least n characters and the n-th
// is '1'.
bool PluFlagSet(std::string_view flags, int position);
// Nine characters from nine flags, flags[0] being flag 1.
std::string PluFlagsText(const std::array<bool, kPluFlagsWidth>& flags);
std::array<bool, kPluFlagsWidth> PluFlagsFromText(std::string_view flags);
// Marked deleted: flag 8 set.
inline bool PluFlagsDeleted(std::string_view flags) { return PluFlagSet(flags, kPluDeletedFlagPosition); }
// Drawn on silver in the grid: nine characters or more and the eighth '1'.
// A row marked deleted by a shorter text is drawn normally.
bool PluFlagsShownDeleted(std::string_view flags);
// The text padded with '0' to nine characters and its eighth set to '1'.
std::string PluFlagsMarkedDeleted(std::string_view flags);

// --- Code-page text without regard to case ----------------------------------
// Latin and Cyrillic letters of Windows-1251 in either case compare equal.

char PluUpperChar(char c);
std::string PluUpperText(std::string_view text);
bool PluTextEqualNoCase(std::string_view a, std::string_view b);
bool PluTextStartsNoCase(std::string_view text, std::string_view prefix);
// <0, 0, >0 comparing the upper-case forms byte by byte (unsigned).
int PluTextCompareNoCase(std::string_view a, std::string_view b);

// --- One row --------------------------------------------------------------------

// A row's values. The members can be read directly; assign through the
// setters, which apply the table's rules: a number outside its field's range
// throws EPluFieldError and leaves the row as it was, a text longer than its
// field is cut to the field's width. The setters throw std::logic_error when
// the field has another type (a programming error, not a user's).
struct TPluRow {
    int16_t NUMB = 0;
    std::string NAME;
    std::string UNIT;
    int16_t TAX_GROUP = 0;
    int32_t PAY_TYPE = 0;
    int16_t PLU_GROUP = 0;
    std::string BARCODE;
    double PRICE_SELL = 0;
    int16_t PLU_SUBGROUP = 0;
    std::string ALTE_TAXE;
    std::string TAX_VALUE;
    std::string COMMENT;
    std::string FLAGS;

    // Integer fields and PRICE_SELL.
    void SetInt(TPluField field, int64_t value);
    // PRICE_SELL only. NaN and infinities are refused.
    void SetFloat(TPluField field, double value);
    // Text fields.
    void SetText(TPluField field, std::string_view text);

    // Numbers of any numeric field (PRICE_SELL as a double, the others exact).
    double Number(TPluField field) const;
    // Integer fields only.
    int64_t Int(TPluField field) const;
    // Text fields only.
    const std::string& Text(TPluField field) const;
    // What the grid shows: integers in decimal, PRICE_SELL as "0.000"
    // (always with '.'; a view may put the locale's separator in its place),
    // texts as they are.
    std::string DisplayText(TPluField field) const;

    bool Deleted() const { return PluFlagsDeleted(FLAGS); }

    bool operator==(const TPluRow&) const = default;
};

// --- Barcodes ------------------------------------------------------------------

// The barcodes of a BARCODE text: SplitText at every comma, segments kept
// as they are (empty ones too). A text that is blank after removing
// surrounding blanks has none.
std::vector<std::string> PluBarcodes(std::string_view barcodeText);

// The exact error text of a duplicate in the list that refuses duplicates.
inline constexpr const char* kDuplicateBarcodeError = "String list does not allow duplicates";

class EDuplicateBarcode : public std::runtime_error {
public:
    EDuplicateBarcode() : std::runtime_error(kDuplicateBarcodeError) {}
};

// UsedBarcodes: the barcodes in use, looked up without regard to case. It
// starts accepting duplicates (one entry per occurrence). RefuseDuplicates()
// switches it for good to refusing them: from then on Add of a barcode that
// is in the list throws EDuplicateBarcode and adds nothing. Every operation
// is constant time on average.
class TUsedBarcodes {
public:
    void Add(std::string_view barcode);
    // Adds each barcode of a BARCODE text (PluBarcodes) in order; stops at
    // the first duplicate that is refused (those before it stay added).
    void AddBarcodesOf(std::string_view barcodeText);
    // Removes one occurrence; false when there was none.
    bool Remove(std::string_view barcode);
    // Removes one occurrence of each barcode of a BARCODE text.
    void RemoveBarcodesOf(std::string_view barcodeText);
    bool Contains(std::string_view barcode) const;
    int Occurrences(std::string_view barcode) const;
    int Count() const { return count_; }
    void Clear();

    void RefuseDuplicates() { refuseDuplicates_ = true; }
    bool RefusesDuplicates() const { return refuseDuplicates_; }

private:
    // The barcodes' upper-case forms, each once, in one text pool, found
    // through an open-addressing table of small slots: a load adds tens of
    // thousands of barcodes, and slots that stay in the cache keep that
    // cheaper than a node per barcode would.
    struct TEntry {
        uint32_t offset; // in pool_
        uint32_t length;
        int count;       // occurrences; 0 once all were removed
    };
    struct TSlot {
        uint32_t hash = 0;
        uint32_t entry = 0; // index into entries_ + 1; 0: free
    };
    TSlot* Find(std::string_view upper, uint32_t hash);
    const TEntry* Find(std::string_view barcode) const;
    void Grow();

    std::vector<TSlot> slots_;
    std::vector<TEntry> entries_;
    std::string pool_;
    std::vector<std::string> split_;
    int count_ = 0;
    bool refuseDuplicates_ = false;
};

// --- The table -------------------------------------------------------------------

using TPluRowId = int64_t;
inline constexpr TPluRowId kNoPluRow = -1;

// Told of every change, so that a grid model can follow. Structural changes
// come in Begin/End pairs around the change; while updates are suspended
// (BeginUpdate) they are held back and the observer gets one reset (when rows
// were appended, removed, cleared or sorted) or one RowsChanged over the
// changed span, and one CurrentChanged, when the last EndUpdate comes.
class TPluTableObserver {
public:
    virtual ~TPluTableObserver() = default;
    virtual void BeginReset() {}
    virtual void EndReset() {}
    virtual void BeginAppend(int /*position*/) {} // the new row's position, = Count() before
    virtual void EndAppend() {}
    virtual void BeginRemove(int /*position*/) {}
    virtual void EndRemove() {}
    // Sort: the same rows in another order. Map what must survive through
    // Id() before and Position() after.
    virtual void BeginReorder() {}
    virtual void EndReorder() {}
    virtual void RowsChanged(int /*first*/, int /*last*/) {}
    virtual void CurrentChanged(int /*position*/) {}
};

class PluTable {
public:
    PluTable();
    ~PluTable();
    PluTable(const PluTable&) = delete;
    PluTable& operator=(const PluTable&) = delete;

    // Open and closed: the view opens the table when it opens and closes it
    // when it closes. Closing empties it. A closed table has no rows and
    // refuses appends (std::logic_error). A new table is open.
    void Open();
    void Close();
    bool IsOpen() const { return open_; }

    int Count() const { return static_cast<int>(order_.size()); }
    bool Empty() const { return order_.empty(); }
    // The row at a position of the current order; the reference holds until
    // the next change of the table.
    const TPluRow& Row(int position) const;

    // Appends after the last row of the current order; the row is stored
    // with the table's rules (NUMB and PRICE_SELL in range, texts cut) and
    // becomes current. Throws EPluFieldError with nothing appended.
    int AppendRow(TPluRow row);
    // Replaces the row at a position (the edit-and-post of a row), with the
    // same rules; on EPluFieldError the row keeps its old values.
    void SetRow(int position, TPluRow row);
    // Removes one row. The current row stays on the same row, or moves to
    // the row that took the removed one's place.
    void RemoveRow(int position);
    // Removes every row; ids of removed rows are never given again.
    void Clear();
    // Room for this many rows, before a long load.
    void Reserve(int rows);

    // Creation order.
    TPluRowId Id(int position) const;
    // The current position of a row; -1 when it is no longer in the table.
    int Position(TPluRowId id) const;
    // Positions (a grid selection) as the rows' ids in creation order.
    std::vector<TPluRowId> CreationOrder(const std::vector<int>& positions) const;

    // The current row: -1 only when the table is empty.
    int Current() const { return current_; }
    void SetCurrent(int position);
    const TPluRow& CurrentRow() const { return Row(current_); }
    // A bookmark is the current row's id; GotoBookmark returns false, and
    // leaves the current row, when that row is gone.
    TPluRowId Bookmark() const { return current_ < 0 ? kNoPluRow : Id(current_); }
    bool GotoBookmark(TPluRowId bookmark);

    // One-time stable sort of the rows present on one field; text without
    // regard to case (PluTextCompareNoCase). The current row stays the same
    // row.
    void Sort(TPluField field, bool ascending);

    // The first position, in the current order, whose field matches: text
    // fields begin with the text without regard to case; numeric fields
    // equal the number. -1 when none does.
    int Find(TPluField field, std::string_view textPrefix) const;
    int Find(TPluField field, double number) const;
    // Find, and make the found row current; false (current row kept) when
    // none matches.
    bool Locate(TPluField field, std::string_view textPrefix);
    bool Locate(TPluField field, double number);

    // Rows by number: the first in the current order (-1 when none), and all
    // of them in the current order. Constant time on average.
    int FindNumber(int numb) const;
    std::vector<int> PositionsWithNumber(int numb) const;

    // The number offered to a new PLU: the highest NUMB of the rows not
    // marked deleted, plus 1; 1 when there is none. Not checked against the
    // limit: 30000 can be proposed.
    int ProposeNumber() const;

    // Marks a row deleted (PluFlagsMarkedDeleted of its FLAGS).
    void MarkDeleted(int position);

    // Grid updates held back between the two; calls nest. Use TPluUpdateGuard.
    void BeginUpdate();
    void EndUpdate();

    void AddObserver(TPluTableObserver* observer);
    void RemoveObserver(TPluTableObserver* observer);

private:
    struct TPending;

    uint32_t SlotAt(int position) const;
    static void Normalize(TPluRow& row);
    void IndexNumber(int numb, uint32_t slot);
    void UnindexNumber(int numb, uint32_t slot);
    void RebuildPositions(std::size_t from);
    template <class Each>
    void Notify(Each each);
    bool BeginStructure();
    void NotifyRowsChanged(int first, int last);
    void MoveCurrent(int position, bool always);

    std::vector<TPluRow> slots_;               // creation order; removed rows stay as empty holes
    std::vector<uint32_t> order_;              // current order: slot per position
    std::vector<int> positionOfSlot_;          // -1 for a removed slot
    std::vector<uint32_t> headByNumber_;       // NUMB -> a slot with it; chained through
    std::vector<uint32_t> nextSameNumber_;     //   nextSameNumber_ per slot
    TPluRowId idBase_ = 0;                     // id of slot 0
    int current_ = -1;
    bool open_ = true;
    int updateDepth_ = 0;
    std::unique_ptr<TPending> pending_;
    std::vector<TPluTableObserver*> observers_;
};

// Suspends grid updates for a scope.
class TPluUpdateGuard {
public:
    explicit TPluUpdateGuard(PluTable& table) : table_(table) { table_.BeginUpdate(); }
    ~TPluUpdateGuard() { table_.EndUpdate(); }
    TPluUpdateGuard(const TPluUpdateGuard&) = delete;
    TPluUpdateGuard& operator=(const TPluUpdateGuard&) = delete;

private:
    PluTable& table_;
};
