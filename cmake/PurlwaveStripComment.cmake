# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack on the staged files: CPack strips the program's symbols, and this
# also drops the compiler's version notes, as Debian's own package builds do.
file(GLOB programs "${CPACK_TEMPORARY_DIRECTORY}/usr/bin/*")
execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${programs} COMMAND_ERROR_IS_FATAL ANY)
