#pragma once
// The register connection helpers every register-facing view shares.

// Points the shared façade at the configured port and reads the register's
// identity; shows the failure in an error box and returns false when no
// register answers.
bool ConnectAndReadEcrInfo();
