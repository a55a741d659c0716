// The camera's subsystems: each adds its rows to the command table. A new
// subsystem is its file and a line here.
#include "sim/handlers.h"

namespace qzr::sim {

void AddConfigCommands(CommandTable& table);
void AddCaptureCommands(CommandTable& table);
void AddOsdCommands(CommandTable& table);
void AddFirmwareCommands(CommandTable& table);

void AddAllCommands(CommandTable& table)
{
    AddConfigCommands(table);
    AddCaptureCommands(table);
    AddOsdCommands(table);
    AddFirmwareCommands(table);
}

}  // namespace qzr::sim
