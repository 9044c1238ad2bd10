#!/usr/bin/env bash
# Checks that each file's folder tells its layer (see README, "Layout"):
#  - toolkit includes (GTK, GDK, WebKit) only in gtk/ folders and the Linux
#    implementation files (.cpp) of src/platform/;
#  - GLib, GIO, libsoup and X11 also stay out of the toolkit-free cores and out
#    of every header of src/platform/ outside gtk/, except that a core's .cpp
#    may use GLib's own utilities (<glib.h>: UTF-8, Unicode), which are not
#    the toolkit;
#  - only gtk/ folders and the platform .cpp files include a header from a
#    gtk/ folder.
# Prints each offending include and fails if there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

toolkit='^\s*#\s*include\s*[<"](gtk/|gdk/|gdk-pixbuf/|webkit2/|webkit/|jsc/|JavaScriptCore/)'
system='^\s*#\s*include\s*[<"](glib|gio/|gobject/|libsoup/|X11/)'
viewHeader='^\s*#\s*include\s*"([^"]*/)?gtk/'
glibOnly='#\s*include\s*<glib\.h>'

status=0
report() {
  echo "$1: $2"
  status=1
}

while IFS= read -r file; do
  case "$file" in
    */gtk/*) continue ;;
  esac
  inPlatformCpp=false
  [[ "$file" =~ ^src/platform/[^/]+\.cpp$ ]] && inPlatformCpp=true
  glibAllowed='^$'
  [[ "$file" =~ \.cpp$ && ! "$file" =~ ^src/platform/ ]] && glibAllowed="$glibOnly"
  while IFS= read -r line; do
    report "$file" "toolkit include outside a gtk/ folder or a platform .cpp: $line"
  done < <($inPlatformCpp || grep -HnE "$toolkit" "$file" || true)
  while IFS= read -r line; do
    report "$file" "system library include in a neutral header or a toolkit-free core: $line"
  done < <($inPlatformCpp || grep -HnE "$system" "$file" | grep -vE "$glibAllowed" || true)
  while IFS= read -r line; do
    report "$file" "view header included by a toolkit-free file: $line"
  done < <($inPlatformCpp || grep -HnE "$viewHeader" "$file" || true)
done < <(find src \( -name '*.cpp' -o -name '*.h' \) | sort)

[ $status -eq 0 ] && echo "layout: ok"
exit $status
