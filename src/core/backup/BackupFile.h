#pragma once
// The backup file: one register's content (RegisterBackup.h) as one JSON
// document in UTF-8, described for users in docs/backup-format.md.
//
//   TRegisterBackup backup;
//   backup.Time = BackupTimeNow();
//   if (ReadRegisterContent(ecr, backup.Content, progress) != TRunResult::Done) ...
//   std::string error;
//   if (!WriteBackupFile(path, backup, error)) show(error);
//
// Reading checks everything a restore relies on, so a file that reads is one
// whose every record the register takes as it stands.

#include "core/backup/RegisterBackup.h"

#include <string>

inline constexpr const char* kBackupFormatName = "register-backup";
inline constexpr int kBackupFormatVersion = 1;

struct TRegisterBackup {
    std::string Time; // when it was read, UTC: "2026-12-10T15:04:44Z"
    TRegisterContent Content;
};

std::string BackupTimeNow();

// The file's text: the lists one record a line, so that two backups compare
// well with diff.
std::string BackupToJson(const TRegisterBackup& backup);

// Checks the whole text and fills backup only when all of it is sound. The
// error names the first problem and where it sits, for example
// "Plues, item 18 (PLU 12): Unit must not contain a comma". Beyond the record
// schemas it refuses what a restore could not make true on a register: a
// number given twice in one list, PLU number 0 (never listed by a
// register), a cashier without a name (writing it deletes the cashier), and
// every field the record writers refuse.
bool BackupFromJson(const std::string& text, TRegisterBackup& backup, std::string& error);

// The file is written beside path and renamed over it, so a failure leaves an
// older backup whole. error: "cannot write '<path>'".
bool WriteBackupFile(const std::string& path, const TRegisterBackup& backup, std::string& error);
// error: "cannot read '<path>'", or "<path>: " + the reason BackupFromJson gives.
bool ReadBackupFile(const std::string& path, TRegisterBackup& backup, std::string& error);
