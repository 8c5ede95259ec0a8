#!/usr/bin/env bash
# The Windows release end to end, as a user gets it:
#   1. scripts/win-release builds the zip from the builds in $LUMIVAR_OUT; it
#      holds the files of tests/data/win-release-zip.txt (LUMIVAR_REBASE=1
#      rewrites it; review it with git diff), its texts with CR LF line ends
#   2. both PE files verify with osslsigncode against the shipped
#      certificate and keep a right PE checksum; the scripts name that
#      certificate's thumbprint, and a second build signs with it again
#   3. a certificate the builder supplies: a PFX with a password (self-signed,
#      so shipped), a PEM pair issued by a CA (not shipped)
#   4. in a fresh Wine prefix, install.cmd refuses bad starts and changes
#      nothing
#   5. install.cmd DUMP /skip-signing-checks installs and starts the driver;
#      a second install.cmd, the dump given relative to the folder, replaces
#      the first
#   6. lumivar.exe from the zip writes the report the native build writes of
#      that dump (but for the time line)
#   7. uninstall.cmd removes service, file and registry key, and a second run
#      finds nothing to do; then lumivar.exe says "No Device Detected..."
# Wine cannot show what only Windows does (signature checks, test signing,
# certificate stores, a refusal without administrator rights): see
# driver/INSTALL-WINDOWS.md. Needs the native build in $LUMIVAR_OUT/native
# and the MinGW build in $LUMIVAR_OUT/win; exits 0 when every step passes, 1
# at the first failure.
set -uo pipefail
# shellcheck source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"
# shellcheck source=wine/lib.sh
. "$top/tests/e2e/wine/lib.sh"
names=$native/pcidevs.txt
dump=$top/samples/via-apollo-pro266-cardbus-multifunction.txt

need_tools wine wineserver Xvfb xdotool import unzip zip openssl osslsigncode x86_64-w64-mingw32-gcc
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
# The value the shipped install.cmd sets NAME to.
script_sets() { tr -d '\r' <"$shipped/install.cmd" | sed -n "s/^set \"$1=\\(.*\\)\"\$/\\1/p"; }

# signed_by CA_PEM [CERT_PEM]: both PE files of $shipped carry a good
# signature that chains to CA_PEM, no timestamp, and a PE checksum that
# osslsigncode computes the same; the release ships CERT_PEM as
# lumivar-test.cer and both scripts name it, or without CERT_PEM none.
signed_by() {
    local pe log=$work/verify.log script
    for pe in lumivar.exe kestrix.sys; do
        osslsigncode verify -CAfile "$1" -in "$shipped/$pe" >"$log" 2>&1 ||
            fail "osslsigncode verify $pe: $(grep -iE 'fail|error' "$log" | head -n 5)"
        grep -q '^Signature verification: ok' "$log" || fail "$pe: no good signature: $(cat "$log")"
        ! grep -qi 'invalid PE checksum\|MISMATCH\|PE checksum *: 00000000' "$log" ||
            fail "$pe: $(grep -i 'PE checksum' "$log" | tr '\n' ' ')"
        grep -q 'PE checksum *: [0-9A-F]\{8\}' "$log" || fail "$pe: osslsigncode shows no PE checksum"
        grep -q '^Timestamp is not available' "$log" || fail "$pe: not without a timestamp"
    done
    if [ -z "${2:-}" ]; then
        [ ! -e "$shipped/lumivar-test.cer" ] || fail "a certificate issued by a CA is shipped"
        [ -z "$(script_sets CERT_FILE)$(script_sets CERT_SHA1)" ] || fail "install.cmd names a certificate"
        return
    fi
    openssl x509 -inform DER -in "$shipped/lumivar-test.cer" -out "$work/shipped.pem" ||
        fail "lumivar-test.cer is not a DER certificate"
    sha1=$(thumbprint "$2")
    [ "$(thumbprint "$work/shipped.pem")" = "$sha1" ] || fail "lumivar-test.cer is not the signing certificate"
    [ "$(script_sets CERT_FILE)" = lumivar-test.cer ] || fail "install.cmd names another certificate file"
    for script in install.cmd uninstall.cmd; do
        tr -d '\r' <"$shipped/$script" | grep -qix "set \"CERT_SHA1=$sha1\"" ||
            fail "$script does not name the certificate $sha1"
    done
}

# expect_run NAME STATUS SCRIPT ARGS...: runs a script of the unpacked
# release with cmd.exe in its folder and fails unless it exits with STATUS;
# its output, without CRs and Wine's notes, in $said.
expect_run() {
    local name=$1 wanted_status=$2 status
    shift 2
    (cd "$release_dir" && wine cmd /c "$@") >"$work/$name.raw" 2>&1
    status=$?
    said=$(tr -d '\r' <"$work/$name.raw" | grep -v '^it looks like wine32\|^multiarch needs\|^execute "dpkg\|^apt-get install wine32')
    [ "$status" = "$wanted_status" ] || fail "cmd /c $* exited with $status, not $wanted_status; it said:"$'\n'"$said"
}
# said_line TEXT: the last script printed a line with TEXT.
said_line() { grep -qF -- "$1" <<<"$said"; }

service_state() { wine sc query kestrix 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $4}'; }
service_key='HKLM\System\CurrentControlSet\Services\kestrix'
registry_source() {
    wine reg query "$service_key\\Parameters" /v Source 2>/dev/null | tr -d '\r' | sed -n 's/^ *Source *REG_SZ *//p'
}
in_store() { wine reg query "HKLM\\SOFTWARE\\Microsoft\\SystemCertificates\\$1\\Certificates\\$sha1" >/dev/null 2>&1; }
installed_sys=$WINEPREFIX/drive_c/windows/system32/drivers/kestrix.sys
# installed_from DUMP: the service runs kestrix.sys of the zip on DUMP.
installed_from() {
    [ "$(service_state)" = RUNNING ] || fail "the service is '$(service_state)', not RUNNING"
    [ "$(registry_source)" = "$1" ] || fail "Source is '$(registry_source)', not '$1'"
    cmp -s "$installed_sys" "$release_dir/kestrix.sys" || fail "system32\\drivers\\kestrix.sys is not the zip's"
}

# ---------------------------------------------------------------------------
step "1. scripts/win-release builds the zip"
release "$work/release"
unzip -Z1 "$zip" | sed "s|^$(basename "$zip" .zip)/|FOLDER/|" | sort >"$work/zip.txt"
if [ -n "${LUMIVAR_REBASE:-}" ]; then
    cp "$work/zip.txt" "$data/win-release-zip.txt"
else
    diff -u "$data/win-release-zip.txt" "$work/zip.txt" || fail "the zip holds other files than win-release-zip.txt"
fi
for text in README-WINDOWS.txt install.cmd uninstall.cmd; do
    [ "$(grep -c $'\r$' "$shipped/$text")" = "$(wc -l <"$shipped/$text")" ] || fail "$text: not every line ends in CR LF"
done
cmp -s "$shipped/pcidevs.txt" "$names" || fail "pcidevs.txt is not the native build's"
echo "ok: ${zip##*/} holds the files; the texts have CR LF line ends"

# ---------------------------------------------------------------------------
step "2. signatures, PE checksums and the certificate the scripts name"
openssl x509 -inform DER -in "$shipped/lumivar-test.cer" -out "$work/test-cert.pem" ||
    fail "lumivar-test.cer is not a DER certificate"
signed_by "$work/test-cert.pem" "$work/test-cert.pem"
release_zip=$work/first.zip
cp "$zip" "$release_zip"
release "$work/release"
signed_by "$work/test-cert.pem" "$work/test-cert.pem"
echo "ok: two builds signed by the shipped certificate (SHA-1 $sha1), checksums right, no timestamp"

# ---------------------------------------------------------------------------
step "3. certificates the builder supplies"
pki=$work/pki
mkdir -p "$pki"
# key NAME SUBJECT [openssl req options]: a certificate NAME.pem and its key.
key() {
    openssl req -newkey rsa:2048 -nodes -days 30 -subj "/CN=$2" -addext extendedKeyUsage=codeSigning \
        -keyout "$pki/$1.key" -out "$pki/$1.pem" "${@:3}" >/dev/null 2>&1 || fail "openssl: no $1 certificate"
}
key own "Builder's own test signing" -x509
openssl pkcs12 -export -in "$pki/own.pem" -inkey "$pki/own.key" -passout pass:'s3cret pass' \
    -out "$pki/own.pfx" || fail "openssl: no PFX"
key ca "Builder's CA" -x509 -addext basicConstraints=critical,CA:TRUE
key issued-request "Builder's issued signing"
printf 'extendedKeyUsage=codeSigning\n' >"$pki/ext"
openssl x509 -req -in "$pki/issued-request.pem" -CA "$pki/ca.pem" -CAkey "$pki/ca.key" -CAcreateserial \
    -days 30 -extfile "$pki/ext" -out "$pki/issued.pem" >/dev/null 2>&1 || fail "openssl: no issued certificate"
(LUMIVAR_SIGN_PFX=$pki/own.pfx LUMIVAR_SIGN_PASSWORD='s3cret pass' release "$work/release-pfx" &&
    signed_by "$pki/own.pem" "$pki/own.pem") || exit 1
echo "ok: a PFX with a password, self-signed: shipped"
(LUMIVAR_SIGN_CERT=$pki/issued.pem LUMIVAR_SIGN_KEY=$pki/issued-request.key release "$work/release-pem" &&
    signed_by "$pki/ca.pem") || exit 1
echo "ok: a PEM pair issued by a CA: not shipped"
for case_dir in "$work/release-pfx" "$work/release-pem"; do
    [ ! -d "$case_dir/test-certificate" ] || fail "${case_dir##*/}: made a test certificate as well"
done

# ---------------------------------------------------------------------------
step "4. in a fresh prefix, install.cmd refuses bad starts and changes nothing"
# The display first: a desktop started without one would stay without one.
start_display
# The prefix stays up between the runs below, so that the driver's state is
# what the scripts left, not what a fresh start of the prefix makes of it.
"$top/scripts/new-wine-prefix"
wineserver -p >/dev/null 2>&1 || fail "wineserver -p failed"
release_root="$WINEPREFIX/drive_c/Lumivar release"
unzip -q "$release_zip" -d "$release_root" || fail "cannot unpack the zip into the prefix"
release_dir=$release_root/$(basename "$zip" .zip)
mkdir -p "$WINEPREFIX/drive_c/dumps"
cp "$dump" "$WINEPREFIX/drive_c/dumps/via apollo.txt"
# arguments | exit status | a line of the answer
while IFS='|' read -r arguments wanted_status line; do
    eval "args=($arguments)"
    expect_run refusal "$wanted_status" install.cmd "${args[@]}"
    said_line "$line" || fail "install.cmd $arguments did not say \"$line\"; it said:"$'\n'"$said"
    echo "ok: install.cmd $arguments: $line"
done <<'TABLE'
'C:\dumps\via apollo.txt'|1|install.cmd stopped at step 2 of 7, test signing check: test signing is off.
'C:\dumps\no such dump.txt' /skip-signing-checks|1|install.cmd failed at step source: no dump at C:\dumps\no such dump.txt
'C:\dumps' /skip-signing-checks|1|install.cmd failed at step source: C:\dumps is a folder, not a dump
/skip-testsigning|2|install.cmd: unknown switch /skip-testsigning
hal unix-sysfs|2|install.cmd: more than one source: hal and unix-sysfs
/?|0|Usage: install.cmd [SOURCE] [/skip-signing-checks]
TABLE
wine sc query kestrix >/dev/null 2>&1 && fail "a refused install.cmd left a kestrix service"
[ ! -e "$installed_sys" ] || fail "a refused install.cmd copied kestrix.sys"
echo "ok: nothing installed"

# ---------------------------------------------------------------------------
step "5. install.cmd 'C:\\dumps\\via apollo.txt' /skip-signing-checks, then again"
expect_run install 0 install.cmd 'C:\dumps\via apollo.txt' /skip-signing-checks
echo "$said" | sed 's/^/  /'
for n in 1 2 3 4 5 6 7; do
    said_line "[$n/7] " || fail "install.cmd did not report step $n"
done
installed_from 'C:\dumps\via apollo.txt'
# Wine's certutil adds nothing: install.cmd must say so rather than claim it.
if in_store ROOT && in_store TrustedPublisher; then
    said_line "is in the machine's Root and TrustedPublisher stores" ||
        fail "the certificate is in the stores, but install.cmd did not say so"
else
    said_line "[3/7] warning: certutil reported success, but lumivar-test.cer (SHA-1 $sha1) is not in" ||
        fail "the certificate is not in the stores, but install.cmd did not warn"
fi
expect_run reinstall 0 install.cmd '..\..\dumps\via apollo.txt' /skip-signing-checks
said_line "[4/7] stopped and removed the earlier kestrix service" ||
    fail "the second install did not replace the first; it said:"$'\n'"$said"
installed_from 'C:\dumps\via apollo.txt'
echo "ok: installed and replaced; kestrix running, Source the full path"

# ---------------------------------------------------------------------------
step "6. lumivar.exe from the zip writes the native report of the dump"
dress_prefix
"$lumivar" --from "$dump" --names "$names" --report "$work/native.txt" || fail "the native report failed"
app_dir=$release_dir
start_app main
wait_main main
text_is "$main_hwnd" 325 "$(blocks "$work/native.txt")" || fail "Total PCI Devices shows '$seen'"
save_through_dialog r pci-info.txt "$work/all.txt"
same_report "$work/all.txt" "$work/native.txt"
echo "ok: the same as lumivar --from ${dump##*/} --report FILE but for the time"
focus "$main_xid"
x key Escape
wait_exit main

# ---------------------------------------------------------------------------
step "7. uninstall.cmd, twice; then lumivar.exe finds no driver"
expect_run uninstall 0 uninstall.cmd
echo "$said" | sed 's/^/  /'
said_line "[2/4] stopped and deleted the kestrix service" || fail "uninstall.cmd did not delete the service"
wine sc query kestrix >/dev/null 2>&1 && fail "the kestrix service is still there"
wine reg query "$service_key" >/dev/null 2>&1 && fail "$service_key is still there"
[ ! -e "$installed_sys" ] || fail "system32\\drivers\\kestrix.sys is still there"
expect_run uninstall-again 0 uninstall.cmd
said_line "[2/4] no kestrix service" || fail "the second uninstall.cmd said:"$'\n'"$said"
echo "ok: service, key and file gone; a second run finds nothing to do"
start_app no-driver
answer_message "$no_device"
wait_exit no-driver
finish
