#!/usr/bin/env bash
# Line coverage that each fuzz target's corpus reaches in the files that target reads, measured
# with a build made for it (CORVEX_FUZZ_COVERAGE) and llvm-cov (Debian package llvm).
#
#   fuzz/coverage.sh <coverage build dir> <corpus dir> [target ...]
#
# <corpus dir> holds one folder per target (build-fuzz/fuzz/corpus); prints llvm-cov's line
# figures per file and in total for every target.
set -euo pipefail
build=$1
corpora=$2
shift 2
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
declare -A files=(
  [html_read_fuzz]="kel/html_read/html_eater.cpp kel/html_read/utf8.cpp kel/html_read/charset.cpp kel/html_read/char_refs.cpp kel/file/input_file.cpp index/word_extraction.cpp"
  [result_text_fuzz]="search/result_text.cpp search/hits.cpp"
  [index_fuzz]="index/global_index.cpp index/word_list.cpp index/lookup.cpp kel/file/byte_codec.cpp index/lookup_table.cpp index/word_table.cpp kel/file/directory.cpp kel/file/binary_file.cpp kel/file/fingerprint.cpp"
  [lnk_fuzz]="kel/file/lnk.cpp"
  [cmdline_fuzz]="kel/cmdline/program_info.cpp kel/cmdline/cmd_line_argument.cpp kel/cmdline/cmd_line_argument_option.cpp kel/cmdline/repeatable_cmd_line_argument.cpp kel/cmdline/repeated_cmd_line_argument_option.cpp kel/cmdline/print_wrapped.cpp"
  [url_template_fuzz]="app/results_page.cpp kel/html_read/entities.cpp"
)
targets=("$@")
[ ${#targets[@]} -ne 0 ] || targets=(html_read_fuzz result_text_fuzz index_fuzz lnk_fuzz cmdline_fuzz url_template_fuzz)
for t in "${targets[@]}"; do
  profile="$build/fuzz/$t.profraw"
  rm -f "$profile"
  LLVM_PROFILE_FILE="$profile" "$build/fuzz/$t" -runs=0 "$corpora/$t" > /dev/null 2>&1 || true
  llvm-profdata merge -sparse "$profile" -o "$build/fuzz/$t.profdata"
  sources=()
  for f in ${files[$t]}; do [ -f "$source_dir/$f" ] && sources+=("$source_dir/$f"); done
  echo "== $t"
  llvm-cov report "$build/fuzz/$t" -instr-profile="$build/fuzz/$t.profdata" "${sources[@]}" |
    awk 'NR == 1 || /^-/ {next} {print $1, "lines", $8, "missed", $9, "cover", $10}' | sed "s|$source_dir/||"
done
