// The program's identity and its command line: three positional arguments, the options and the
// two help annotations, declared in this order (which is also the order of the help text).
//
// The objects live for the whole process and are filled by programInfo.init(argc, argv) in main.
// Readers use isActive() for flags; isGiven(), value(), getInt() for options with an argument;
// rewind() and then getValue() until it returns the empty text for -n.
#ifndef CORVEX_APP_OPTIONS_H
#define CORVEX_APP_OPTIONS_H

#include "kel/cmdline/cmdline.h"

extern kel::cmdline::ProgramInfo programInfo;  // "Corvex" 0.09

extern kel::cmdline::CmdLineArgument argSearch;       // the search string
extern kel::cmdline::CmdLineArgument argIndexDir;     // directory of the index files
extern kel::cmdline::CmdLineArgument argRootDirList;  // text file naming the root directories

extern kel::cmdline::CmdLineArgumentOption optExtensions;    // -e  ';'-separated HTML extensions
extern kel::cmdline::CmdLineOption optVerbose;               // -v  progress lines on std::cerr
extern kel::cmdline::CmdLineOption optIgnoreCase;            // -i  search without regard to case
extern kel::cmdline::CmdLineOption optNoThrow;               // -x  failures go into the HTML page
extern kel::cmdline::CmdLineArgumentOption optMaxLength;     // -L  excerpt length in bytes (300)
extern kel::cmdline::CmdLineArgumentOption optHighlight;     // -H  hit markup, "$$$" is the hit
extern kel::cmdline::CmdLineOption optTitleHighlight;        // -T  highlight hits in titles too
extern kel::cmdline::CmdLineArgumentOption optMaxSize;       // -S  kB limit of excerpt search (150)
extern kel::cmdline::CmdLineArgumentOption optMaxResults;    // -m  result limit (500)
extern kel::cmdline::RepeatedCmdLineArgumentOption optIds;   // -n  ids a file name must contain
extern kel::cmdline::CmdLineOption optDosDrives;             // -D  "C:/x" becomes "c/x" in URLs
extern kel::cmdline::CmdLineArgumentOption optExchange;      // -P  "old=new" URL prefix exchange
extern kel::cmdline::CmdLineArgumentOption optUrlPrefix;     // -p  prefix of every result URL
extern kel::cmdline::CmdLineArgumentOption optTemplate;      // -t  result row template
extern kel::cmdline::CmdLineArgumentOption optDefaultTitle;  // -d  title of untitled results
extern kel::cmdline::CmdLineAnnotation annCgi;
extern kel::cmdline::CmdLineOption optUpdate;                // -u  rebuild the index
extern kel::cmdline::CmdLineArgumentOption optMaxIndexSize;  // -b  kB limit of indexed files
extern kel::cmdline::CmdLineArgumentOption optIndexPrefix;   // -I  prefix of index file names
extern kel::cmdline::CmdLineAnnotation annIndexing;

#endif
