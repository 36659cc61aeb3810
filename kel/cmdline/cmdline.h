// Everything an application needs to declare and parse its command line.
#ifndef CORVEX_KEL_CMDLINE_CMDLINE_H
#define CORVEX_KEL_CMDLINE_CMDLINE_H

#include "kel/cmdline/cmd_line_annotation.h"
#include "kel/cmdline/cmd_line_argument.h"
#include "kel/cmdline/cmd_line_argument_option.h"
#include "kel/cmdline/cmd_line_option.h"
#include "kel/cmdline/cmdline_errors.h"
#include "kel/cmdline/program_info.h"
#include "kel/cmdline/repeatable_cmd_line_argument.h"
#include "kel/cmdline/repeated_cmd_line_argument_option.h"

#endif
