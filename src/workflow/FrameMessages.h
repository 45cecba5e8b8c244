// The messages the main frame answers: the engine's (progress, status, fatal and error texts,
// log lines) and those its own controls send (a click on an object or a document, the two
// page buttons). A front end that runs the workflow's controls on another thread passes each
// call on to that thread and waits until it has been handled, so a text given in a call stays
// valid while it is handled.
#pragma once

#include "appstate/EngineMessages.h"
#include "workflow/Ports.h"

class IFrameMessages : public IEngineNotify {
public:
    virtual void ObjectClicked(TreeItem item) = 0;   // MSG_OBJECT_CLICKED
    virtual void DocumentClicked(TreeItem item) = 0; // MSG_DOCUMENT_CLICKED
    virtual void PreviousRecords() = 0;              // MSG_PREVIOUS_RECORDS
    virtual void NextRecords() = 0;                  // MSG_NEXT_RECORDS
};
