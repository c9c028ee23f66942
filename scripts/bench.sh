#!/usr/bin/env bash
# Whole processes side by side with libxml2's xmllint, on product catalogues
# of 10 and 50 MB with and without an internal DTD:
#   lumora check          vs  xmllint --noout
#   lumora check --valid  vs  xmllint --noout --valid   (the catalogues with a DTD)
#   lumora write          vs  xmllint --output
# For each: CPU time (user + system, best of RUNS) and peak memory (maximum
# resident size), their ratios, and how each grows from 10 to 50 MB.
#
#   scripts/bench.sh [-n RUNS] [-d DIR] [-l LUMORA]
#
# DIR holds the catalogues (cat10.xml, cat50.xml, cat10dtd.xml, cat50dtd.xml);
# those missing are generated there (default /tmp/lumora-bench). LUMORA is the
# command to measure; by default a Release build in build-rel/, made when
# missing.
set -euo pipefail

runs=5
dir=/tmp/lumora-bench
lumora=
while getopts "n:d:l:h" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    d) dir=$OPTARG ;;
    l) lumora=$OPTARG ;;
    *) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done

root=$(cd "$(dirname "$0")/.." && pwd)
if [[ -z $lumora ]]; then
  lumora=$root/build-rel/cli/lumora
  if [[ ! -x $lumora ]]; then
    cmake -S "$root" -B "$root/build-rel" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DLUMORA_BUILD_TESTS=OFF >/dev/null
    ninja -C "$root/build-rel" lumora_command >/dev/null
  fi
fi
for tool in xmllint /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench.sh: $tool is needed" >&2; exit 2; }
done

# A catalogue of about MB megabytes: 4,582 products per megabyte, each with
# a unique ID, a name holding references, a comment and a CDATA section.
generate() {  # MB WITH_DTD FILE
  awk -v products=$(($1 * 4582)) -v dtd="$2" 'BEGIN {
    print "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    if (dtd) {
      print "<!DOCTYPE catalogue ["
      print "<!ELEMENT catalogue (product)*>"
      print "<!ELEMENT product (name,description)>"
      print "<!ATTLIST product sku ID #REQUIRED stock NMTOKEN #REQUIRED price CDATA #IMPLIED>"
      print "<!ELEMENT name (#PCDATA)>"
      print "<!ELEMENT description (#PCDATA)>"
      print "]>"
    }
    print "<catalogue>"
    for (i = 1; i <= products; i++) {
      printf "  <product sku=\"P%06d\" stock=\"%d\" price=\"%d.%02d\">\n", i, (i * 37) % 50, (i * 53) % 100, (i * 17) % 100
      printf "    <name>Caf\303\251 n\302\260%d &amp; th\303\251 &#x2014; \346\227\245\346\234\254</name>\n", i
      printf "    <!-- batch %d -->\n", i
      printf "    <description><![CDATA[Roasted <dark> & sweet]]> origin %d</description>\n", i
      print "  </product>"
    }
    print "</catalogue>"
  }' >"$3"
}

mkdir -p "$dir"
for mb in 10 50; do
  [[ -s $dir/cat$mb.xml ]] || generate $mb "" "$dir/cat$mb.xml"
  [[ -s $dir/cat${mb}dtd.xml ]] || generate $mb 1 "$dir/cat${mb}dtd.xml"
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Prints "SECONDS KB": the least CPU time and the least peak memory of RUNS
# runs of the command; a run that fails stops the benchmark.
measure() {
  local best_cpu= best_kb= cpu kb
  for ((i = 0; i < runs; i++)); do
    if ! /usr/bin/time -f "%U %S %M" -o "$out/time" "$@" >/dev/null 2>"$out/err"; then
      echo "bench.sh: failed: $*" >&2
      cat "$out/err" >&2
      exit 1
    fi
    read -r user sys kb <"$out/time"
    cpu=$(echo "$user + $sys" | bc | awk '{printf "%.2f", $1}')
    if [[ -z $best_cpu ]] || (($(echo "$cpu < $best_cpu" | bc))); then best_cpu=$cpu; fi
    if [[ -z $best_kb ]] || ((kb < best_kb)); then best_kb=$kb; fi
  done
  echo "$best_cpu $best_kb"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

printf "%-24s %9s %9s %6s %10s %10s %6s\n" work "lumora s" "xmllint s" ratio "lumora MB" "xmllint MB" ratio
declare -A cpu mem
for work in check valid write; do
  for mb in 10 50; do
    case $work in
      check)
        in=$dir/cat$mb.xml label="check, $mb MB"
        ours=("$lumora" check "$in") theirs=(xmllint --noout "$in") ;;
      valid)
        in=$dir/cat${mb}dtd.xml label="check --valid, $mb MB"
        ours=("$lumora" check --valid "$in") theirs=(xmllint --noout --valid "$in") ;;
      write)
        in=$dir/cat$mb.xml label="write, $mb MB"
        ours=("$lumora" write "$in" -o "$out/lumora.xml")
        theirs=(xmllint --output "$out/xmllint.xml" "$in") ;;
    esac
    read -r lc lk < <(measure "${ours[@]}")
    read -r xc xk < <(measure "${theirs[@]}")
    cpu[$work,$mb,l]=$lc cpu[$work,$mb,x]=$xc mem[$work,$mb,l]=$lk mem[$work,$mb,x]=$xk
    printf "%-24s %9s %9s %5sx %10d %10d %5sx\n" "$label" "$lc" "$xc" "$(ratio "$lc" "$xc")" \
      $((lk / 1024)) $((xk / 1024)) "$(ratio "$lk" "$xk")"
  done
done
echo
echo "growth from 10 to 50 MB (CPU time, peak memory):"
for work in check valid write; do
  printf "  %-6s lumora %5sx %5sx   xmllint %5sx %5sx\n" "$work" \
    "$(ratio "${cpu[$work,50,l]}" "${cpu[$work,10,l]}")" "$(ratio "${mem[$work,50,l]}" "${mem[$work,10,l]}")" \
    "$(ratio "${cpu[$work,50,x]}" "${cpu[$work,10,x]}")" "$(ratio "${mem[$work,50,x]}" "${mem[$work,10,x]}")"
done
