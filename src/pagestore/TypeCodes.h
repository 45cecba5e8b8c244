// Column type codes: the small integers that select how a column's value is stored and how it
// is shown. The compressed-row completion rebuilds values by them, the value formatter renders
// by them.
#pragma once

#include <cstdint>

enum : std::int32_t {
    TYPE_BIGINT = 0,
    TYPE_BINARY = 1,
    TYPE_BIT = 2,
    TYPE_CHAR = 3,
    TYPE_DATETIME = 4,
    TYPE_DATE = 5,
    TYPE_TIME = 6,
    TYPE_DATETIME2 = 7,
    TYPE_DATETIMEOFFSET = 8,
    TYPE_INT = 9,
    TYPE_NCHAR = 10,
    TYPE_NVARCHAR = 11,
    TYPE_SMALLINT = 13,
    TYPE_TINYINT = 14,
    TYPE_UNIQUEIDENTIFIER = 15,
    TYPE_VARBINARY = 16,
    TYPE_VARCHAR = 17,
    TYPE_SYSTEM_232 = 18, // stored as TYPE_NVARCHAR by the column builder
    TYPE_NTEXT = 19,
    TYPE_SQL_VARIANT = 20,
    TYPE_MONEY = 21,
    TYPE_FLOAT = 22,
    TYPE_NUMERIC = 23,
    TYPE_DECIMAL = 24,
    TYPE_IMAGE = 25,
    TYPE_TEXT = 26,
    TYPE_SMALLDATETIME = 27,
    TYPE_REAL = 28,
    TYPE_SMALLMONEY = 29,
    TYPE_TIMESTAMP = 30,
    TYPE_HIERARCHYID = 31,
    TYPE_GEOMETRY = 32,
    TYPE_CLR = 33, // geography and user CLR types
    TYPE_XML = 34,
};
// Type code of a SQL Server system type id (before the column builder's adjustments: image
// gives 26 here, CLR types 33, type 232 gives 18).
int TypeCodeFromSystemType(std::uint8_t nSystemType);
