#!/usr/bin/env bash
# The documents hold:
#
#  - every relative link between the Markdown files (README.md, README.ja.md,
#    doc/*.md, CHANGELOG.md) leads to a file that exists, and a link to a
#    heading (FILE#anchor) to a heading that exists;
#  - the README's runnable command blocks (a ```sh block right after a line
#    <!-- runnable -->) are the same in English and in Japanese, and run as
#    written, in order, in one shell, in a scratch copy of the source with a
#    home folder of its own, where the sample set stands in for the reader's
#    ~/DISKS.d88; the demo and the run on one's own disks each leave the 153
#    files the README promises, and git status in the copy stays clean. The apt-get line is skipped when every
#    package it names is installed, run when this runs as root, and a
#    failure otherwise;
#  - the manual pages, English and Japanese, set without a warning (groff
#    -ww, as man sets them; mandoc -T lint too where it is installed);
#  - installed from that copy, `man d88cut` shows the English page by
#    default and the Japanese one in a Japanese UTF-8 locale.
#
#   bash tests/docs_test.sh        (from the source folder, as CI's docs stage)
#
# Needs groff-base, man-db and locales beside the quick start's packages,
# and installs them when run as root; git, where there, lists the files to
# copy. Nothing of ./build or any other build tree is used.
set -uo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
passed=0 failed=0
ok() { echo "docs: ok: $*"; passed=$((passed + 1)); }
not_ok() { echo "docs: FAILED: $*"; failed=$((failed + 1)); }
finish() {
    echo "docs: $passed passed, $failed failed"
    [ "$failed" -eq 0 ] && exit 0
    exit 1
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

installed() {  # PACKAGE...: every one is installed
    local package
    for package; do
        [ "$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null)" = installed ] || return 1
    done
}

missing=()
command -v groff >/dev/null || missing+=(groff-base)
command -v man >/dev/null || missing+=(man-db)
{ command -v localedef >/dev/null && [ -f /usr/share/i18n/locales/ja_JP ]; } || missing+=(locales)
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ]; then
        apt-get update </dev/null &&
            DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
    fi
    installed "${missing[@]}" || { not_ok "this test needs: apt-get install -y ${missing[*]}"; finish; }
fi

# --- Links --------------------------------------------------------------

# The anchors of FILE's headings, as the forge makes them: lower case,
# punctuation dropped, blanks as hyphens.
anchors() {
    sed -n 's/^#\{1,6\} \{1,\}//p' "$1" | LC_ALL=C.UTF-8 tr '[:upper:]' '[:lower:]' |
        LC_ALL=C.UTF-8 sed 's/[^[:alnum:] _-]//g; s/ /-/g'
}
for doc in README.md README.ja.md doc/*.md CHANGELOG.md; do
    [ -f "$doc" ] || { not_ok "$doc is missing"; continue; }
    broken=() count=0
    # Inline links and pictures, ](TARGET), and reference definitions,
    # [NAME]: TARGET; not in code, fenced or in spans.
    text=$(awk '/^ *```/ { fenced = !fenced; next } !fenced' "$doc" | sed 's/`[^`]*`//g')
    while IFS= read -r target; do
        target=${target%% *}
        case $target in *://* | mailto:*) continue ;; esac
        count=$((count + 1))
        file=${target%%#*} anchor=
        [ "$file" = "$target" ] || anchor=${target#*#}
        if [ -z "$file" ]; then
            file=$doc
        else
            file=$(dirname "$doc")/$file
        fi
        if [ ! -e "$file" ]; then
            broken+=("$target")
        elif [ -n "$anchor" ] && [[ $file == *.md ]] && ! anchors "$file" | grep -qxF -- "$anchor"; then
            broken+=("$target (no such heading)")
        fi
    done < <(grep -oE '\]\([^)]+\)' <<<"$text" | sed 's/^](//; s/)$//'
             sed -n 's/^ \{0,3\}\[[^]]*\]: *//p' <<<"$text")
    if [ ${#broken[@]} -eq 0 ]; then
        ok "$doc: its $count links lead somewhere"
    else
        not_ok "$doc: links that lead nowhere: ${broken[*]}"
    fi
done

# --- The README's runnable blocks ---------------------------------------

runnable() {  # README: its runnable blocks, each ended by a line "#--"
    awk 'marked && /^```sh$/ { inside = 1; marked = 0; next }
         inside && /^```$/ { print "#--"; inside = 0; next }
         inside { print; next }
         { marked = ($0 == "<!-- runnable -->") }' "$1"
}
blocks=$(runnable README.md)
if [ -z "$blocks" ]; then
    not_ok "README.md has no runnable blocks"
elif [ "$blocks" != "$(runnable README.ja.md)" ]; then
    not_ok "README.ja.md's runnable blocks differ from README.md's"
    diff <(printf '%s\n' "$blocks") <(runnable README.ja.md)
else
    ok "README.md and README.ja.md have the same $(grep -c '^#--$' <<<"$blocks") runnable blocks"
fi

# --- The manual pages ---------------------------------------------------

version=$(sed -n 's/^project(d88cut VERSION \([^ ]*\).*/\1/p' CMakeLists.txt)
date=$(sed -n 's/^## [^ ]* (\([0-9-]*\))$/\1/p' CHANGELOG.md | head -1)
mkdir -p "$scratch/pages/ja"
for page in doc/d88cut.1 doc/d88scan.1 doc/ja/d88cut.1 doc/ja/d88scan.1; do
    built=$scratch/pages/${page#doc/}
    sed "s/@PROJECT_VERSION@/$version/g; s/@D88CUT_RELEASE_DATE@/$date/g" "$page" > "$built"
    # UTF-8 as man sets it where the page is shown; the English page also
    # as in the C locale.
    says=$(groff -ww -z -k -Tutf8 -man "$built" 2>&1)
    case $page in doc/ja/*) ;; *) says+=$(groff -ww -z -k -Tascii -man "$built" 2>&1) ;; esac
    # mandoc's style notes (a line of Japanese is long in bytes) are no fault.
    if command -v mandoc >/dev/null; then
        says+=$(mandoc -T lint -W warning "$built" 2>&1)
    fi
    if [ -z "$says" ]; then
        ok "$page sets without a warning"
    else
        not_ok "$page: $says"
    fi
done

# --- The quick start, in a scratch copy ---------------------------------

home=$scratch/home
copy=$home/d88cut
mkdir -p "$copy"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    # The files git knows of and the new ones it does not ignore, as they
    # stand in the working tree: a clean clone's, in CI.
    git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
        xargs -0 cp --parents -t "$copy"
else
    tar --exclude='./build*' --exclude=./.git -cf - . | tar -xf - -C "$copy"
fi
# The copy as a clone of its own, so that what the README's commands
# leave beside the sources shows in git status.
tracked=
if command -v git >/dev/null &&
    git -C "$copy" init -q && git -C "$copy" add -A &&
    git -C "$copy" -c user.name=docs -c user.email=docs@localhost commit -qm copy; then
    tracked=1
fi

script=$scratch/quick-start.sh
{
    echo 'set -euo pipefail'
    echo 'export DEBIAN_FRONTEND=noninteractive'
    echo 'cd ~/d88cut'
    while IFS= read -r line; do
        if [ "$line" = "#--" ]; then
            # The reader's own disks: the sample set, once it can be made.
            echo '[ -e ~/DISKS.d88 ] || [ ! -x ~/d88cut/build/make_sample_set ] || ~/d88cut/build/make_sample_set ~/DISKS.d88'
        elif [[ $line =~ apt-get\ install\ -y\ (.*)$ ]]; then
            read -ra packages <<<"${BASH_REMATCH[1]}"
            if installed "${packages[@]}"; then
                echo "echo 'apt-get: ${packages[*]} installed already'"
            elif [ "$(id -u)" -eq 0 ]; then
                echo "$line </dev/null"
            else
                echo "echo 'apt-get: not root, and not installed: ${packages[*]}'; exit 1"
            fi
        else
            printf '%s\n' "$line"
        fi
    done <<<"$blocks"
} > "$script"
log=$scratch/quick-start.log
started=$SECONDS
if HOME=$home timeout 900 bash "$script" > "$log" 2>&1 </dev/null; then
    ok "the README's quick start ran as written, in $((SECONDS - started)) s"
else
    not_ok "the README's quick start failed after $((SECONDS - started)) s; the end of what it said:"
    tail -n 40 "$log"
fi
if [ -z "$tracked" ]; then
    not_ok "no git here to tell what the README's commands leave beside the sources (apt-get install -y git)"
elif left=$(git -C "$copy" status --porcelain) && [ -z "$left" ]; then
    ok "the README's commands leave git status clean: they write only under build/ and ~"
else
    not_ok "the README's commands leave beside the sources: $left"
fi
count() {  # FOLDER: the files in it but the demo's own two
    find "$1" -maxdepth 1 -type f ! -name sample-set.d88 ! -name d88cut-stdout.txt 2>/dev/null | wc -l
}
demo=$(count "$copy/build/demo") own=$(count "$home/d88-music")
if [ "$demo" -eq 153 ] && [ "$own" -eq 153 ]; then
    ok "the demo and the run on one's own disks each wrote the 153 files of a set"
else
    not_ok "153 files expected: the demo wrote $demo, the run in ~/d88-music $own"
fi

# --- man in each language, from an install ------------------------------

prefix=$scratch/prefix
if [ -f "$copy/build/cmake_install.cmake" ] &&
    cmake --install "$copy/build" --prefix "$prefix" > "$scratch/install.log" 2>&1; then
    mkdir -p "$scratch/locale"
    localedef -i ja_JP -f UTF-8 "$scratch/locale/ja_JP.UTF-8" 2>/dev/null
    show() {  # LANG PAGE: man's page in LANG, its warnings after it
        env -u LC_ALL -u LANGUAGE -u LC_MESSAGES LANG="$1" LOCPATH="$scratch/locale" \
            MANPATH="$prefix/share/man" MANWIDTH=80 man "$2" 2>"$scratch/man.err"
        cat "$scratch/man.err"
    }
    expect() {  # LANG PAGE TEXT...: man shows every TEXT and says nothing else
        local lang=$1 page=$2 text shown
        shift 2
        shown=$(show "$lang" "$page")
        for text; do
            grep -qF -- "$text" <<<"$shown" || { not_ok "man $page in $lang does not show: $text"; return; }
        done
        [ ! -s "$scratch/man.err" ] || { not_ok "man $page in $lang says: $(cat "$scratch/man.err")"; return; }
        ok "man $page in $lang shows the page in its language"
    }
    expect C.UTF-8 d88cut "SAFETY OF EXISTING FILES" "error: cannot read" "これはどうやら初期バージョンっぽいです."
    expect C d88scan "READ ERRORS" "error: cannot read the file"
    expect ja_JP.UTF-8 d88cut "既存ファイルの安全性" "error: cannot read" "これはどうやら初期バージョンっぽいです."
    expect ja_JP.UTF-8 d88scan "読み込みエラー" "error: cannot read the file"
else
    not_ok "cmake --install of the quick start's build failed"
    cat "$scratch/install.log" 2>/dev/null
fi

finish
