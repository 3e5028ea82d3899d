// Defines the GUIDs that the IDL compiler's header declares.
#include "win/com_ids.h"

#include <initguid.h>
