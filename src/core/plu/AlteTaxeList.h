#pragma once
// The register's alte taxe list as the PLU view edits it: a small table of
// number and name (MemData), filled from the register and sent back whole
// after every change. A tax is deleted on the register by writing its
// number with an empty name.
//
// Texts are Windows-1251 bytes; the name keeps at most 20 of them.

#include "core/device/EcrDeviceUnit.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int32_t kMinAlteTaxeNumb = 1;
inline constexpr int32_t kMaxAlteTaxeNumb = 30000;
inline constexpr std::size_t kAlteTaxeNameWidth = 20;

// A number the tax table refuses, e.g.
//   "Field NUMB: 0 is outside the allowed range 1 to 30000."
class EAlteTaxeFieldError : public std::runtime_error {
public:
    explicit EAlteTaxeFieldError(int64_t value);
};

struct TAlteTaxeRow {
    std::optional<int32_t> NUMB; // empty once the tax was deleted in the list
    std::string NAME;
};

class TAlteTaxeTable {
public:
    int Count() const { return static_cast<int>(rows_.size()); }
    bool Empty() const { return rows_.empty(); }
    const TAlteTaxeRow& Row(int position) const { return rows_.at(static_cast<std::size_t>(position)); }

    // Appends a row and makes it current. A number outside 1..30000 throws
    // EAlteTaxeFieldError and appends nothing; the name is cut to 20 bytes.
    int Append(std::optional<int64_t> numb, std::string_view name);
    void SetName(int position, std::string_view name);
    // Empties the row's number and name; the row stays.
    void ClearRow(int position);
    void Clear();

    // -1 only when the table is empty.
    int Current() const { return current_; }
    void SetCurrent(int position);

    // The highest number of all rows; 0 when no row has one.
    int32_t HighestNumber() const;

    // Runs after every change (a grid model resets on it).
    std::function<void()> Changed;

private:
    void Notify()
    {
        if (Changed)
            Changed();
    }
    std::vector<TAlteTaxeRow> rows_;
    int current_ = -1;
};

// Replaces the table's rows with the register's taxes that have a name, in
// the list's order. entryStarting(i) runs before entry i is looked at. A
// number the table refuses ends the load with EAlteTaxeFieldError; the rows
// before it stay.
void LoadAlteTaxeRows(const TECR_ALTETAXE_List& taxes, TAlteTaxeTable& table,
                      const std::function<void(int index)>& entryStarting = {});

// The record of a row: its number, or pending when it has none (or 0); its
// name; NumberText the row's number as text ("" when empty).
TECR_ALTETAXE AlteTaxeRecordFromRow(const TAlteTaxeRow& row, int32_t pending);

// SaveCurrentTaxeToEcr: writes the row at position; 0 when the register took
// it, 1 otherwise. A failed write empties the whole table (the list no
// longer says what the register holds). number receives the number written.
int SaveAlteTaxeRow(TEcrDevice& ecr, TAlteTaxeTable& table, int position, int32_t pending, int32_t& number);

class TAlteTaxeSaveDecisions {
public:
    virtual ~TAlteTaxeSaveDecisions() = default;
    // Asked before every row: true ends the run as cancelled.
    virtual bool CancelRequested() = 0;
    // A row was not written; the run ends as failed after this.
    virtual void Failed(int32_t number) = 0;
    virtual void Saved(int32_t /*number*/) {}
};

struct TAlteTaxeSaveSummary {
    bool Cancelled = false;
    bool Failed = false;
};

// Save all taxes: every row in order, each made current; the current row is
// restored afterwards when it still exists.
TAlteTaxeSaveSummary SaveAllAlteTaxes(TEcrDevice& ecr, TAlteTaxeTable& table, int32_t pending,
                                      TAlteTaxeSaveDecisions& decisions);
