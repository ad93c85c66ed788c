#!/bin/sh
# The desktop finds the program's entry, metadata and icon by one application id: the file names, the metadata's
# id and launchable, and the entry's icon must all carry it.
set -u
id="$1"
resources="$2"
status=0
fail() {
    echo "$1"
    status=1
}
grep -q "^Icon=$id\$" "$resources/$id.desktop" || fail "$id.desktop: Icon is not $id"
grep -q "<id>$id</id>" "$resources/$id.metainfo.xml" || fail "$id.metainfo.xml: the id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$resources/$id.metainfo.xml" ||
    fail "$id.metainfo.xml: the launchable is not $id.desktop"
for screenshot in $(sed -n 's#.*<image>.*/\([^/]*\.png\)</image>.*#\1#p' "$resources/$id.metainfo.xml"); do
    [ -f "$resources/../docs/$screenshot" ] || fail "$id.metainfo.xml: docs/$screenshot, shown as a screenshot, is missing"
done
exit $status
