// The camera's subsystems: each adds its rows to the command table. A new
// subsystem is its file and a line here.
#include "sim/handlers.h"

namespace qzr::sim {

void AddConfigCommands(CommandTable& table);
void AddCaptureCommands(CommandTable& table);
void AddOsdCommands(CommandTable& table);
void AddMotionCommands(CommandTable& table);
void AddBurstCommands(CommandTable& table);
void AddQuickShotCommands(CommandTable& table);
void AddFirmwareCommands(CommandTable& table);
void AddLensCommands(CommandTable& table);

void AddAllCommands(CommandTable& table)
{
    AddConfigCommands(table);
    // Before capture: while a stored file is being fetched, its packets are
    // asked for with the picture transfer's command.
    AddBurstCommands(table);
    AddCaptureCommands(table);
    AddOsdCommands(table);
    AddMotionCommands(table);
    AddQuickShotCommands(table);
    AddFirmwareCommands(table);
    // After configuration: the model "cancel" shares the model's command byte.
    AddLensCommands(table);
}

}  // namespace qzr::sim
