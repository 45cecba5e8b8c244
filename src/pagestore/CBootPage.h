// The boot page of the primary file: the version that wrote the database, its name and its
// default collation.
#pragma once

#include <cstdint>
#include <string>

#include "appstate/CDravoltBrevantProjApp.h"
#include "pagestore/RecordPage.h"

class CBootPage : public CPage {
public:
    // Decodes a boot page and stores the version text and the collation found in the
    // application state (the collation only when the collation list knows it).
    CBootPage(const std::uint8_t* pPage, CDravoltBrevantProjApp& app);

    // The text shown for an on-disk version number.
    static std::string VersionText(std::uint16_t nVersion);

    std::uint16_t m_nVersion = 0;
    std::string m_strDatabaseName;
    std::int32_t m_nCollationId = 0;
};

// Looks a collation up as the boot page reader does (the full id, then its low 16 bits with
// "Auto detect"; the chosen id with "Manual") and stores what it finds in the application.
// Returns whether an entry was found.
bool SelectCollation(CDravoltBrevantProjApp& app, std::int32_t nBootCollationId);
