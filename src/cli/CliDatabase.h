// The database a command works on: the application state set from the options, the notifier
// and the open session.
#pragma once

#include "catalog/CDbCatalog.h"
#include "cli/CliNotify.h"
#include "cli/Options.h"

struct CCliDatabase {
    explicit CCliDatabase(const CliOptions& opt) : notify(opt.bQuiet) {}
    // Applies the options and opens the data file with its secondary files. Returns the exit
    // status to end with (the reason printed on stderr), or -1 when the database is open.
    int Open(const CliOptions& opt);
    CDbCatalog& Catalog() { return *session.m_pCatalog; }

    CDravoltBrevantProjApp app;
    CCliNotify notify;
    CRecoverySession session;
};
