// A library that exports the names of one entry-point list as empty functions.
// The build renames the entries it wants missing, so they are exported under
// another name and the real name is absent.
#include "medialib/EntryPointLists.h"

#define MELVARO_STANDIN_ENTRY(name) \
  extern "C" __attribute__((visibility("default"))) void name() {}

MELVARO_STANDIN_LIST(MELVARO_STANDIN_ENTRY)
