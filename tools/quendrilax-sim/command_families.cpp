// The families of the scenario language. A new family is a file
// commands_<family>.cpp with a register function that adds its verbs,
// expectations, shows and help lines to the table; declare it here and call
// it in buildCommandTable. Nothing else needs to change: the reader, the
// runner and `help` find the family's words through the table.
#include "quendrilax-sim/command_table.h"

namespace qx::tools {

void registerOfficeCommands(CommandTable& table);
void registerRegistryCommands(CommandTable& table);
void registerLogCommands(CommandTable& table);
void registerTaskCommands(CommandTable& table);
void registerSyncMailCommands(CommandTable& table);
void registerTranscriptCommands(CommandTable& table);
void registerInStepCommands(CommandTable& table);
void registerSoakCommands(CommandTable& table);
void registerQueueCommands(CommandTable& table);
void registerPageCommands(CommandTable& table);

CommandTable buildCommandTable() {
  CommandTable table;
  registerOfficeCommands(table);
  registerRegistryCommands(table);
  registerLogCommands(table);
  registerTaskCommands(table);
  registerSyncMailCommands(table);
  registerInStepCommands(table);
  registerSoakCommands(table);
  registerQueueCommands(table);
  registerPageCommands(table);
  registerTranscriptCommands(table);
  return table;
}

}  // namespace qx::tools
