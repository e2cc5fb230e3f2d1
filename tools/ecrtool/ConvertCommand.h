#pragma once
// The PLU list files of ecrtool convert, for the other commands that read or
// write a PLU list (load, send): the same formats, chosen by extension (.plu,
// .jsonl, "-" for JSON lines on stdin or stdout), the same messages, each
// naming the command that runs ("ecrtool send: 'a.jsonl', line 3: ...").

#include "core/plu/PluTable.h"

#include <string>

bool PluListPathKnown(const std::string& path);
// Fills table and barcodes from the file; false with the reason printed.
bool ReadPluListFile(const std::string& command, const std::string& path, PluTable& table, TUsedBarcodes& barcodes);
// Writes every row in the current order; 0, or 1 with the reason printed.
int WritePluListFile(const std::string& command, const std::string& path, PluTable& table);
