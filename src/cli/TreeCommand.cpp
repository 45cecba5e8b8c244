// quarvel tree and quarvel sharepoint: the object tree or the two document trees exactly as a
// scan builds them, without the activity log.
#include "cli/Options.h"

int RunTree(const CliOptions& opt) {
    return ScanAndPrint(opt, true, opt.strOption == "documents");
}

int RunSharePoint(const CliOptions& opt) {
    return ScanAndPrint(opt, true, true);
}
