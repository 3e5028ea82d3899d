#pragma once
// Ids of the module's resources, shared by the resource script and the code.
#define QX_IDD_PROGRESS 244
#define QX_IDD_FOLDER_PAGE 123
#define QX_IDD_PLACEHOLDER_PAGE 124
#define QX_IDI_ADDIN 225
#define QX_IDB_FOLDER_PAGE_TOOLBOX 118
#define QX_IDB_PLACEHOLDER_TOOLBOX 122
#define QX_IDB_PICTURE 227
#define QX_TYPELIB 1
// The host's interfaces as the module implements them; never registered.
#define QX_HOST_TYPELIB 2
