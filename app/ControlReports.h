#pragma once
// What `vorta ctl` reads from the running copy: each answer as text and as
// data for --json. Nothing here changes the vessels.

#include "platform/ControlSocket.h"

namespace vorta {

class TMainForm;
class TVortaProcess;
struct TJournalWords;

TControlReply StatusReport(TMainForm& form);
TControlReply AlarmsReport(TMainForm& form);
TControlReply JournalReport(TMainForm& form, const TJournalWords& words);
// channel: 1..4, 5 the common entry, 0 every channel.
TControlReply ParamsReport(const TVortaProcess& p, int channel);
TControlReply OutputsReport(const TVortaProcess& p);
TControlReply VersionReport(TMainForm& form);

}  // namespace vorta
