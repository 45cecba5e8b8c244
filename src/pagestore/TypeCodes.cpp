#include "pagestore/TypeCodes.h"

int TypeCodeFromSystemType(std::uint8_t nSystemType) {
    switch (nSystemType) {
    case 34:
        return TYPE_TEXT; // image: the column builder turns it into TYPE_IMAGE
    case 35:
        return TYPE_TEXT;
    case 36:
        return TYPE_UNIQUEIDENTIFIER;
    case 40:
        return TYPE_DATE;
    case 41:
        return TYPE_TIME;
    case 42:
        return TYPE_DATETIME2;
    case 43:
        return TYPE_DATETIMEOFFSET;
    case 48:
        return TYPE_TINYINT;
    case 52:
        return TYPE_SMALLINT;
    case 56:
        return TYPE_INT;
    case 58:
        return TYPE_SMALLDATETIME;
    case 59:
        return TYPE_REAL;
    case 60:
        return TYPE_MONEY;
    case 61:
        return TYPE_DATETIME;
    case 62:
        return TYPE_FLOAT;
    case 98:
        return TYPE_SQL_VARIANT;
    case 99:
        return TYPE_NTEXT;
    case 104:
        return TYPE_BIT;
    case 106:
        return TYPE_DECIMAL;
    case 108:
        return TYPE_NUMERIC;
    case 122:
        return TYPE_SMALLMONEY;
    case 127:
        return TYPE_BIGINT;
    case 165:
        return TYPE_VARBINARY;
    case 167:
        return TYPE_VARCHAR;
    case 173:
        return TYPE_BINARY;
    case 189:
        return TYPE_TIMESTAMP;
    case 231:
        return TYPE_NVARCHAR;
    case 232:
        return TYPE_SYSTEM_232;
    case 239:
        return TYPE_NCHAR;
    case 240:
        return TYPE_CLR;
    case 241:
        return TYPE_XML;
    default:
        return TYPE_CHAR;
    }
}
