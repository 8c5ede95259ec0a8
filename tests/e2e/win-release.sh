#!/usr/bin/env bash
# The Windows release end to end, as a user gets it: the zip that
# scripts/win-release builds from the builds in $LUMIVAR_OUT (its files as
# tests/data/win-release-zip.txt lists them; LUMIVAR_REBASE=1 rewrites it),
# its signatures with the shipped test certificate and with a builder's own,
# then in a fresh Wine prefix install.cmd (refusing bad starts), lumivar.exe
# from the zip against the native build's report, and uninstall.cmd.
# Wine cannot show what only Windows does (signature checks, test signing,
# certificate stores, a refusal without administrator rights): see
# driver/INSTALL-WINDOWS.md. Needs the native build in $LUMIVAR_OUT/native
# and the MinGW build in $LUMIVAR_OUT/win; exits 0 when every step passes, 1
# at the first failure.
set -uo pipefail
# A private X server for the clicks and keys, which wine uses too.
[ -n "${LUMIVAR_XVFB:-}" ] || LUMIVAR_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" "$@"
# shellcheck source-path=SCRIPTDIR source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"
# shellcheck source-path=SCRIPTDIR source=wine/lib.sh
. "$top/tests/e2e/wine/lib.sh"
names=$native/pcidevs.txt
dump=$top/samples/via-apollo-pro266-cardbus-multifunction.txt

need_tools wine wineserver xdotool import unzip zip openssl osslsigncode x86_64-w64-mingw32-gcc
for file in "$lumivar" "$names" "$out/win/CMakeCache.txt"; do
    [ -f "$file" ] || fail "missing $file (build lumivar and pcidevs natively, and the MinGW build)"
done
wine_session

# release DIR: scripts/win-release into DIR, with the environment given;
# unpacks the zip into DIR/unpacked and sets zip and shipped (the folder).
release() {
    "$top/scripts/win-release" "$1" >"$work/release.log" 2>&1 ||
        fail "scripts/win-release failed: $(cat "$work/release.log")"
    zip=$(echo "$1"/lumivar-*-win64.zip)
    [ -f "$zip" ] || fail "not one zip in $1: $zip"
    rm -rf "$1/unpacked" && unzip -q "$zip" -d "$1/unpacked" || fail "cannot unpack $zip"
    shipped=$1/unpacked/$(basename "$zip" .zip)
}
# The SHA-1 thumbprint of a PEM certificate, as the scripts write it.
thumbprint() { openssl x509 -in "$1" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g'; }
# script_sets SCRIPT NAME: the value the shipped SCRIPT sets NAME to.
script_sets() { tr -d '\r' <"$shipped/$1" | sed -n "s/^set \"$2=\\(.*\\)\"\$/\\1/p"; }

# signed_by CA_PEM [CERT_PEM]: both PE files of $shipped carry a good
# signature that chains to CA_PEM, no timestamp, and a PE checksum that
# osslsigncode computes the same; the release ships CERT_PEM as
# lumivar-test.cer and both scripts name it, or without CERT_PEM none.
signed_by() {
    local pe log=$work/verify.log script named
    for pe in lumivar.exe kestrix.sys; do
        osslsigncode verify -CAfile "$1" -in "$shipped/$pe" >"$log" 2>&1 &&
            grep -q '^Signature verification: ok' "$log" && grep -q '^Timestamp is not available' "$log" &&
            grep -q 'PE checksum *: [0-9A-F]\{8\}' "$log" &&
            ! grep -qi 'invalid PE checksum\|MISMATCH\|PE checksum *: 00000000' "$log" ||
            fail "$pe: not a good signature without a timestamp and with a right PE checksum:"$'\n'"$(cat "$log")"
    done
    sha1=${2:+$(thumbprint "$2")}
    for script in install.cmd uninstall.cmd; do
        named=$(script_sets $script CERT_SHA1)
        [ "${named^^}" = "$sha1" ] || fail "$script names the certificate '$named', not '$sha1'"
    done
    [ "$(script_sets install.cmd CERT_FILE)" = "${2:+lumivar-test.cer}" ] || fail "install.cmd names another file"
    if [ -z "${2:-}" ]; then
        [ ! -e "$shipped/lumivar-test.cer" ] || fail "a certificate issued by a CA is shipped"
    elif ! openssl x509 -inform DER -in "$shipped/lumivar-test.cer" -out "$work/shipped.pem" ||
        [ "$(thumbprint "$work/shipped.pem")" != "$sha1" ]; then
        fail "lumivar-test.cer is not the signing certificate"
    fi
}

service_key='HKLM\System\CurrentControlSet\Services\kestrix'
installed_sys=$WINEPREFIX/drive_c/windows/system32/drivers/kestrix.sys
# installed_is none|running: nothing of the driver is installed, or its
# service runs kestrix.sys of the zip on the dump.
installed_is() {
    if [ "$1" = none ]; then
        ! wine reg query "$service_key" >/dev/null 2>&1 || fail "$service_key is there"
        ! wine sc query kestrix >/dev/null 2>&1 || fail "a kestrix service is there"
        [ ! -e "$installed_sys" ] || fail "kestrix.sys is in system32\\drivers"
        return
    fi
    local state source
    state=$(wine sc query kestrix 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $4}')
    [ "$state" = RUNNING ] || fail "the service is '$state', not RUNNING"
    source=$(wine reg query "$service_key\\Parameters" /v Source 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *Source *REG_SZ *//p')
    [ "$source" = 'C:\dumps\via apollo.txt' ] || fail "Source is '$source', not the dump's full path"
    cmp -s "$installed_sys" "$release_dir/kestrix.sys" || fail "system32\\drivers\\kestrix.sys is not the zip's"
}
# Runs each row's script of the unpacked release with cmd.exe in its folder:
# script and arguments | exit status | a line of what it says | installed_is
# then. What it says, without CRs and Wine's notes, stays in $said.
script_runs() {
    local arguments wanted_status line state status args=()
    while IFS='|' read -r arguments wanted_status line state; do
        eval "args=($arguments)"
        (cd "$release_dir" && wine cmd /c "${args[@]}") >"$work/said.txt" 2>&1
        status=$?
        said=$(tr -d '\r' <"$work/said.txt" | grep -v '^it looks like wine32\|^multiarch needs\|^execute "dpkg\|^apt-get install wine32')
        [ "$status" = "$wanted_status" ] && grep -qF -- "$line" <<<"$said" ||
            fail "$arguments: exit status $status, not $wanted_status, or no \"$line\" in:"$'\n'"$said"
        installed_is "$state"
        echo "ok: $arguments: $line"
    done
}

# ---------------------------------------------------------------------------
step "1. scripts/win-release builds the zip"
release "$work/release"
unzip -Z1 "$zip" | sed "s|^$(basename "$zip" .zip)/|FOLDER/|" | sort >"$work/zip.txt"
matches_golden "$work/zip.txt" win-release-zip.txt
for text in README-WINDOWS.txt install.cmd uninstall.cmd; do
    [ "$(grep -c $'\r$' "$shipped/$text")" = "$(wc -l <"$shipped/$text")" ] || fail "$text: not every line ends in CR LF"
done
cmp -s "$shipped/pcidevs.txt" "$names" || fail "pcidevs.txt is not the native build's"
release_zip=$work/first.zip
cp "$zip" "$release_zip"
echo "ok: ${zip##*/} holds the files; the texts have CR LF line ends"

# ---------------------------------------------------------------------------
step "2. signatures, PE checksums and the certificate the scripts name"
openssl x509 -inform DER -in "$shipped/lumivar-test.cer" -out "$work/test-cert.pem" ||
    fail "lumivar-test.cer is not a DER certificate"
signed_by "$work/test-cert.pem" "$work/test-cert.pem"
release "$work/release" # keeps its test certificate
signed_by "$work/test-cert.pem" "$work/test-cert.pem"
test_sha1=$sha1
echo "ok: two builds signed by the shipped certificate (SHA-1 $sha1), checksums right, no timestamp"
pki=$work/pki
mkdir -p "$pki"
# key NAME SUBJECT [openssl req options]: NAME.pem (a certificate or a request) and NAME.key.
key() {
    openssl req -newkey rsa:2048 -nodes -days 30 -subj "/CN=$2" -addext extendedKeyUsage=codeSigning \
        -keyout "$pki/$1.key" -out "$pki/$1.pem" "${@:3}" >/dev/null 2>&1 || fail "openssl: no $1 certificate"
}
key own "Builder's own test signing" -x509
openssl pkcs12 -export -in "$pki/own.pem" -inkey "$pki/own.key" -passout pass:'s3cret pass' \
    -out "$pki/own.pfx" || fail "openssl: no PFX"
key ca "Builder's CA" -x509 -addext basicConstraints=critical,CA:TRUE
key issued "Builder's issued signing"
openssl x509 -req -in "$pki/issued.pem" -CA "$pki/ca.pem" -CAkey "$pki/ca.key" -CAcreateserial \
    -days 30 -copy_extensions copy -out "$pki/issued.crt" >/dev/null 2>&1 || fail "openssl: no issued certificate"
LUMIVAR_SIGN_PFX=$pki/own.pfx LUMIVAR_SIGN_PASSWORD='s3cret pass' release "$work/release-pfx"
signed_by "$pki/own.pem" "$pki/own.pem"
LUMIVAR_SIGN_CERT=$pki/issued.crt LUMIVAR_SIGN_KEY=$pki/issued.key release "$work/release-pem"
signed_by "$pki/ca.pem"
[ ! -d "$work/release-pfx/test-certificate" ] && [ ! -d "$work/release-pem/test-certificate" ] ||
    fail "a build with the builder's certificate made a test certificate as well"
echo "ok: a PFX with a password, self-signed, shipped; a PEM pair issued by a CA, not shipped"

# ---------------------------------------------------------------------------
step "3. in a fresh prefix install.cmd refuses bad starts, then installs"
# The prefix stays up between the runs below, so that the driver's state is
# what the scripts left, not what a fresh start of the prefix makes of it.
"$top/scripts/new-wine-prefix"
wineserver -p >/dev/null 2>&1 || fail "wineserver -p failed"
release_root="$WINEPREFIX/drive_c/Lumivar release"
unzip -q "$release_zip" -d "$release_root" || fail "cannot unpack the zip into the prefix"
release_dir=$release_root/$(basename "$zip" .zip)
mkdir -p "$WINEPREFIX/drive_c/dumps"
cp "$dump" "$WINEPREFIX/drive_c/dumps/via apollo.txt"
script_runs <<'TABLE'
install.cmd 'C:\dumps\via apollo.txt'|1|install.cmd stopped at step 2 of 7, test signing check: test signing is off.|none
install.cmd 'C:\dumps\no such dump.txt' /skip-signing-checks|1|install.cmd failed at step source: no dump at C:\dumps\no such dump.txt|none
install.cmd 'C:\dumps' /skip-signing-checks|1|install.cmd failed at step source: C:\dumps is a folder, not a dump|none
install.cmd /skip-testsigning|2|install.cmd: unknown switch /skip-testsigning|none
install.cmd hal unix-sysfs|2|install.cmd: more than one source: hal and unix-sysfs|none
install.cmd /?|0|Usage: install.cmd [SOURCE] [/skip-signing-checks]|none
install.cmd 'C:\dumps\via apollo.txt' /skip-signing-checks|0|[7/7] kestrix is running|running
install.cmd '..\..\dumps\via apollo.txt' /skip-signing-checks|0|[4/7] stopped and removed the earlier kestrix service|running
TABLE
# Wine's certutil adds nothing: install.cmd must say so rather than claim it.
store='HKLM\SOFTWARE\Microsoft\SystemCertificates'
if wine reg query "$store\\ROOT\\Certificates\\$test_sha1" >/dev/null 2>&1 &&
    wine reg query "$store\\TrustedPublisher\\Certificates\\$test_sha1" >/dev/null 2>&1; then
    grep -qF "is in the machine's Root and TrustedPublisher stores" <<<"$said" ||
        fail "the certificate is in the stores, but install.cmd did not say so"
else
    grep -qF "[3/7] warning: certutil reported success, but lumivar-test.cer (SHA-1 $test_sha1) is not in" <<<"$said" ||
        fail "the certificate is not in the stores, but install.cmd did not warn"
fi

# ---------------------------------------------------------------------------
step "4. lumivar.exe from the zip writes the native report of the dump"
"$lumivar" --from "$dump" --names "$names" --report "$work/native.txt" || fail "the native report failed"
app_dir=$release_dir
start_app main
wait_main main
text_is "$main_hwnd" 325 "$(grep -c '^PCI Bus #' "$work/native.txt")" || fail "Total PCI Devices shows '$seen'"
save_through_dialog r pci-info.txt "$work/all.txt"
same_report "$work/all.txt" "$work/native.txt"
echo "ok: the same as lumivar --from ${dump##*/} --report FILE but for the time"
focus "$main_xid"
x key Escape
wait_exit main

# ---------------------------------------------------------------------------
step "5. uninstall.cmd, twice; then lumivar.exe finds no driver"
script_runs <<'TABLE'
uninstall.cmd|0|[2/4] stopped and deleted the kestrix service|none
uninstall.cmd|0|[2/4] no kestrix service|none
TABLE
start_app no-driver
answer_message "$no_device"
wait_exit no-driver
finish
