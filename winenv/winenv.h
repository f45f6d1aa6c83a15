// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The emulated Windows machine, as the Linux back ends and our regedit see it: one
// folder (the system root) that stands for the computer, with drive_c/ as drive C:
// and registry/ holding one .reg hive per root key. Nothing here knows of windows or
// Qt; the registry reader, the path mapper, the file system and regedit use it
// through this header alone.
#include "winenv/ansi_text.h"
#include "winenv/file_replace.h"
#include "winenv/reg_file.h"
#include "winenv/registry_store.h"
#include "winenv/registry_tree.h"
#include "winenv/system_root.h"
