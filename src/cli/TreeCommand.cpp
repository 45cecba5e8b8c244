// quarvel tree: the object tree exactly as a scan builds it, without the activity log.
#include "cli/Options.h"

int RunTree(const CliOptions& opt) {
    return ScanAndPrint(opt, true);
}
