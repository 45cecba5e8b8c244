// quarvel module: the text of a view, procedure, function, trigger, default or constraint.
#include <cstdio>
#include <string>

#include "catalog/CDbCatalog.h"
#include "cli/CliDatabase.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "rowdecode/ModuleText.h"

int RunModule(const CliOptions& opt) {
    CCliDatabase db(opt);
    if (const int nExit = db.Open(opt); nExit >= 0) return nExit;
    CCliNotify& notify = db.notify;
    CRecoverySession& session = db.session;
    CDbCatalog& c = *session.m_pCatalog;
    const std::string& strName = opt.positional[1];
    // Any object of that name that is not a table.
    const ObjectEntry o = c.FindObject(strName, "P ");
    if (o.m_nId == -1 || o.m_strType == "U " || o.m_strType == "S ") {
        std::fprintf(stderr,
                     "quarvel: no view, procedure, function, trigger, default or constraint '%s'\n",
                     strName.c_str());
        return EXIT_BAD_ARGUMENTS;
    }
    CModuleTexts modules;
    const std::string strText = modules.ModuleText(c, std::to_string(o.m_nId), notify);
    if (opt.strFormat == "json")
        std::printf("{\"name\":%s,\"type\":%s,\"text\":%s}\n", json::Quote(o.m_strName).c_str(),
                    json::Quote(o.m_strType).c_str(), json::Quote(strText).c_str());
    else
        std::printf("%s\n", strText.c_str());
    if (strText.empty()) {
        std::fprintf(stderr, "quarvel: the text of '%s' could not be read\n", strName.c_str());
        return EXIT_UNUSABLE;
    }
    return EXIT_DONE;
}
