#!/usr/bin/env bash
# The Windows release end to end, as a user gets it:
#   1. scripts/win-release builds the zip from the builds in $LUMIVAR_OUT
#   2. both PE files verify with osslsigncode against the shipped
#      certificate and keep a right PE checksum; the scripts name that
#      certificate's thumbprint
#   3. a certificate the builder supplies: a PFX with a password (self-signed,
#      so shipped), a PEM pair issued by a CA (not shipped)
#   4. in a fresh Wine prefix, install.cmd refuses bad starts and changes
#      nothing
#   5. install.cmd DUMP /skip-signing-checks installs and starts the driver
#   6. a second install.cmd, the dump given relative to the folder, replaces
#      the first
#   7. lumivar.exe from the zip writes the report the native build writes of
#      that dump (but for the time line)
#   8. uninstall.cmd removes service, file and registry key, and a second run
#      finds nothing to do
#   9. a new lumivar.exe says "No Device Detected..."
# Wine cannot show what only Windows does (signature checks, test signing,
# certificate stores, a refusal without administrator rights): see
# driver/INSTALL-WINDOWS.md. Needs the native build in $LUMIVAR_OUT/native
# and the MinGW build in $LUMIVAR_OUT/win; exits 0 when every step passes, 1
# at the first failure.
set -uo pipefail
started=$SECONDS
repo=$(cd "$(dirname "$0")/../.." && pwd)
out=${LUMIVAR_OUT:-$repo/out}
native=$out/native/src/lumivar
names=$out/native/pcidevs.txt
dump=$repo/samples/via-apollo-pro266-cardbus-multifunction.txt
test_name=win-release
# shellcheck source-path=SCRIPTDIR source=wine/lib.sh
. "$repo/tests/e2e/wine/lib.sh"

need_tools wine wineserver Xvfb xdotool import unzip zip openssl osslsigncode x86_64-w64-mingw32-gcc
for file in "$native" "$names"; do
    [ -f "$file" ] || fail "missing $file (build lumivar and pcidevs natively)"
done
[ -f "$out/win/CMakeCache.txt" ] || fail "no MinGW build in $out/win"
wine_session

# build_release DIR: scripts/win-release into DIR; sets zip and folder.
build_release() {
    "$repo/scripts/win-release" "$1" >"$work/release.log" 2>&1 ||
        fail "scripts/win-release failed: $(cat "$work/release.log")"
    local zips=("$1"/lumivar-*-win64.zip)
    [ ${#zips[@]} = 1 ] && [ -f "${zips[0]}" ] || fail "not one zip in $1: ${zips[*]}"
    zip=${zips[0]}
    folder=$(basename "$zip" .zip)
}
# The names in the zip, one a line, sorted.
listing() { unzip -Z1 "$1" | sort; }
# unpack ZIP DIR
unpack() { rm -rf "$2" && mkdir -p "$2" && unzip -q "$1" -d "$2" || fail "cannot unpack $1"; }
# The SHA-1 thumbprint of a PEM certificate, as the scripts write it.
thumbprint() { openssl x509 -in "$1" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g'; }
# The value a shipped script sets NAME to.
script_sets() { tr -d '\r' <"$1" | sed -n "s/^set \"$2=\\(.*\\)\"\$/\\1/p"; }

# verify_pe FILE CA_PEM: a good signature that chains to CA_PEM, no
# timestamp, and a PE checksum that osslsigncode computes the same.
verify_pe() {
    local file=$1 ca=$2 log=$work/verify.log
    osslsigncode verify -CAfile "$ca" -in "$file" >"$log" 2>&1 ||
        fail "osslsigncode verify ${file##*/}: $(grep -iE 'fail|error' "$log" | head -n 5)"
    grep -q '^Signature verification: ok' "$log" || fail "${file##*/}: no good signature: $(cat "$log")"
    grep -qi 'invalid PE checksum\|MISMATCH' "$log" &&
        fail "${file##*/}: $(grep -i 'PE checksum' "$log" | tr '\n' ' ')"
    grep -q 'PE checksum *: [0-9A-F]\{8\}' "$log" || fail "${file##*/}: osslsigncode shows no PE checksum"
    grep -q 'PE checksum *: 00000000' "$log" && fail "${file##*/}: the PE checksum is 0"
    grep -q '^Timestamp is not available' "$log" || fail "${file##*/}: not without a timestamp"
}

# expect_run NAME STATUS SCRIPT ARGS...: runs a script of the unpacked
# release with cmd.exe in its folder and fails unless it exits with STATUS;
# its output, without CRs, in $said and $work/NAME.out.
expect_run() {
    local name=$1 wanted_status=$2 status
    shift 2
    (cd "$release_dir" && wine cmd /c "$@") >"$work/$name.raw" 2>&1
    status=$?
    last_out=$work/$name.out
    tr -d '\r' <"$work/$name.raw" | grep -v '^it looks like wine32\|^multiarch needs\|^execute "dpkg\|^apt-get install wine32' \
        >"$last_out"
    said=$(cat "$last_out")
    [ "$status" = "$wanted_status" ] ||
        fail "cmd /c $* exited with $status, not $wanted_status; it said:"$'\n'"$said"
}
# said_line TEXT: the last script printed a line with TEXT.
said_line() { grep -qF -- "$1" "$last_out"; }

service_state() { wine sc query kestrix 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $4}'; }
service_key='HKLM\System\CurrentControlSet\Services\kestrix'
registry_source() {
    wine reg query "$service_key\\Parameters" /v Source 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *Source *REG_SZ *//p'
}
in_store() { wine reg query "HKLM\\SOFTWARE\\Microsoft\\SystemCertificates\\$1\\Certificates\\$2" >/dev/null 2>&1; }
installed_sys=$WINEPREFIX/drive_c/windows/system32/drivers/kestrix.sys

# ---------------------------------------------------------------------------
step "1. scripts/win-release builds the zip"
build_release "$work/release"
unpack "$zip" "$work/unpacked"
contents=$(listing "$zip")
wanted=$(printf "$folder/%s\n" "" README-WINDOWS.txt install.cmd kestrix.sys lumivar-test.cer lumivar.exe \
    pcidevs.txt uninstall.cmd | sort)
[ "$contents" = "$wanted" ] || fail "the zip holds"$'\n'"$contents"$'\n'"not"$'\n'"$wanted"
for text in README-WINDOWS.txt install.cmd uninstall.cmd; do
    file=$work/unpacked/$folder/$text
    [ "$(grep -c $'\r$' "$file")" = "$(wc -l <"$file")" ] || fail "$text: not every line ends in CR LF"
done
cmp -s "$work/unpacked/$folder/pcidevs.txt" "$names" || fail "pcidevs.txt is not the native build's"
echo "ok: ${zip##*/} holds the 7 files; the texts have CR LF line ends"

# ---------------------------------------------------------------------------
step "2. signatures, PE checksums and the certificate the scripts name"
shipped=$work/unpacked/$folder
openssl x509 -inform DER -in "$shipped/lumivar-test.cer" -out "$work/test-cert.pem" ||
    fail "lumivar-test.cer is not a DER certificate"
for pe in lumivar.exe kestrix.sys; do
    verify_pe "$shipped/$pe" "$work/test-cert.pem"
done
sha1=$(thumbprint "$work/test-cert.pem")
for script in install.cmd uninstall.cmd; do
    named=$(script_sets "$shipped/$script" CERT_SHA1)
    [ "${named^^}" = "$sha1" ] ||
        fail "$script names the certificate $(script_sets "$shipped/$script" CERT_SHA1), not $sha1"
done
[ "$(script_sets "$shipped/install.cmd" CERT_FILE)" = lumivar-test.cer ] || fail "install.cmd names another certificate file"
# A second build signs with the same test certificate.
cp "$zip" "$work/first.zip"
build_release "$work/release"
unzip -p "$zip" "$folder/lumivar-test.cer" | cmp -s - "$shipped/lumivar-test.cer" ||
    fail "a second build made another test certificate"
echo "ok: both signed by the shipped certificate (SHA-1 $sha1), checksums right, no timestamp"

# ---------------------------------------------------------------------------
step "3. certificates the builder supplies"
pki=$work/pki
mkdir -p "$pki"
make_key() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=$2" -addext extendedKeyUsage=codeSigning \
        -keyout "$pki/$1.key" -out "$pki/$1.pem" "${@:3}" >/dev/null 2>&1 || fail "openssl: no $1 certificate"
}
make_key own "Builder's own test signing"
openssl pkcs12 -export -in "$pki/own.pem" -inkey "$pki/own.key" -passout pass:'s3cret pass' \
    -out "$pki/own.pfx" || fail "openssl: no PFX"
make_key ca "Builder's CA" -addext basicConstraints=critical,CA:TRUE
openssl req -new -newkey rsa:2048 -nodes -subj "/CN=Builder's issued signing" -keyout "$pki/issued.key" \
    -out "$pki/issued.csr" >/dev/null 2>&1 || fail "openssl: no request"
printf 'extendedKeyUsage=codeSigning\n' >"$pki/ext"
openssl x509 -req -in "$pki/issued.csr" -CA "$pki/ca.pem" -CAkey "$pki/ca.key" -CAcreateserial -days 30 \
    -extfile "$pki/ext" -out "$pki/issued.pem" >/dev/null 2>&1 || fail "openssl: no issued certificate"
# name | environment | chain to verify against | shipped certificate (empty: none)
while IFS='|' read -r case_name environment ca cer; do
    [ -n "$case_name" ] || continue
    eval "env_args=($environment)"
    case_dir=$work/release-${case_name// /-}
    (export "${env_args[@]}" && build_release "$case_dir") || exit 1
    zip=("$case_dir"/lumivar-*-win64.zip)
    unpack "${zip[0]}" "$case_dir/unpacked"
    dir=$case_dir/unpacked/$folder
    for pe in lumivar.exe kestrix.sys; do
        verify_pe "$dir/$pe" "$pki/$ca"
    done
    if [ -n "$cer" ]; then
        openssl x509 -inform DER -in "$dir/lumivar-test.cer" -out "$work/shipped.pem" 2>/dev/null ||
            fail "$case_name: no lumivar-test.cer"
        [ "$(thumbprint "$work/shipped.pem")" = "$(thumbprint "$pki/$cer")" ] ||
            fail "$case_name: lumivar-test.cer is not the signing certificate"
        named=$(script_sets "$dir/install.cmd" CERT_SHA1)
        [ "${named^^}" = "$(thumbprint "$pki/$cer")" ] ||
            fail "$case_name: install.cmd names another certificate"
    else
        [ ! -e "$dir/lumivar-test.cer" ] || fail "$case_name: a certificate issued by a CA is shipped"
        [ -z "$(script_sets "$dir/install.cmd" CERT_FILE)$(script_sets "$dir/install.cmd" CERT_SHA1)" ] ||
            fail "$case_name: install.cmd names a certificate"
    fi
    [ ! -d "$case_dir/test-certificate" ] || fail "$case_name: made a test certificate as well"
    echo "ok: $case_name"
done <<EOF
PFX with a password, self-signed|LUMIVAR_SIGN_PFX='$pki/own.pfx' LUMIVAR_SIGN_PASSWORD='s3cret pass'|own.pem|own.pem
PEM pair issued by a CA|LUMIVAR_SIGN_CERT='$pki/issued.pem' LUMIVAR_SIGN_KEY='$pki/issued.key'|ca.pem|
EOF

# ---------------------------------------------------------------------------
step "4. in a fresh prefix, install.cmd refuses bad starts and changes nothing"
# The display first: a desktop started without one would stay without one.
start_display
# The prefix stays up between the runs below, so that the driver's state is
# what the scripts left, not what a fresh start of the prefix makes of it.
"$repo/scripts/new-wine-prefix"
wineserver -p >/dev/null 2>&1 || fail "wineserver -p failed"
release_root="$WINEPREFIX/drive_c/Lumivar release"
unpack "$work/first.zip" "$release_root"
release_dir=$release_root/$folder
mkdir -p "$WINEPREFIX/drive_c/dumps"
cp "$dump" "$WINEPREFIX/drive_c/dumps/via apollo.txt"
# arguments | exit status | a line of the answer
while IFS='|' read -r arguments wanted_status line; do
    [ -n "$arguments" ] || continue
    eval "args=($arguments)"
    expect_run refusal "$wanted_status" install.cmd "${args[@]}"
    said_line "$line" || fail "install.cmd $arguments did not say \"$line\"; it said:"$'\n'"$said"
    echo "ok: install.cmd $arguments: $line"
done <<'EOF'
'C:\dumps\via apollo.txt'|1|install.cmd stopped at step 2 of 7, test signing check: test signing is off.
'C:\dumps\no such dump.txt' /skip-signing-checks|1|install.cmd failed at step source: no dump at C:\dumps\no such dump.txt
'C:\dumps' /skip-signing-checks|1|install.cmd failed at step source: C:\dumps is a folder, not a dump
/skip-testsigning|2|install.cmd: unknown switch /skip-testsigning
hal unix-sysfs|2|install.cmd: more than one source: hal and unix-sysfs
/?|0|Usage: install.cmd [SOURCE] [/skip-signing-checks]
EOF
wine sc query kestrix >/dev/null 2>&1 && fail "a refused install.cmd left a kestrix service"
[ ! -e "$installed_sys" ] || fail "a refused install.cmd copied kestrix.sys"
echo "ok: nothing installed"

# ---------------------------------------------------------------------------
step "5. install.cmd 'C:\\dumps\\via apollo.txt' /skip-signing-checks"
expect_run install 0 install.cmd 'C:\dumps\via apollo.txt' /skip-signing-checks
echo "$said" | sed 's/^/  /'
for n in 1 2 3 4 5 6 7; do
    grep -q "^\[$n/7\] " "$last_out" || fail "install.cmd did not report step $n"
done
[ "$(service_state)" = RUNNING ] || fail "the service is '$(service_state)', not RUNNING"
[ "$(registry_source)" = 'C:\dumps\via apollo.txt' ] || fail "Source is '$(registry_source)'"
cmp -s "$installed_sys" "$release_dir/kestrix.sys" || fail "system32\\drivers\\kestrix.sys is not the zip's"
# Wine's certutil adds nothing: install.cmd must say so rather than claim it.
if in_store ROOT "$sha1" && in_store TrustedPublisher "$sha1"; then
    said_line "is in the machine's Root and TrustedPublisher stores" ||
        fail "the certificate is in the stores, but install.cmd did not say so"
    echo "ok: certutil added the certificate to both stores"
else
    said_line "[3/7] warning: certutil reported success, but lumivar-test.cer (SHA-1 $sha1) is not in" ||
        fail "the certificate is not in the stores, but install.cmd did not warn"
    echo "ok: install.cmd tells that certutil added nothing (as Wine's does)"
fi
echo "ok: kestrix running, Source 'C:\\dumps\\via apollo.txt'"

# ---------------------------------------------------------------------------
step "6. install.cmd again, the dump relative to the folder"
expect_run reinstall 0 install.cmd '..\..\dumps\via apollo.txt' /skip-signing-checks
said_line "[4/7] stopped and removed the earlier kestrix service" ||
    fail "the second install did not replace the first; it said:"$'\n'"$said"
[ "$(service_state)" = RUNNING ] || fail "the service is '$(service_state)', not RUNNING"
[ "$(registry_source)" = 'C:\dumps\via apollo.txt' ] || fail "Source is '$(registry_source)', not the full path"
echo "ok: replaced, running, Source the full path"

# ---------------------------------------------------------------------------
step "7. lumivar.exe from the zip writes the native report of the dump"
dress_prefix
mkdir -p "$work/reports" "$work/native"
"$native" --from "$dump" --names "$names" --report "$work/native/all.txt" || fail "the native report failed"
functions=$(blocks "$work/native/all.txt")
app_dir=$release_dir
start_app main
wait_main main
text_is "$main_hwnd" 325 "$functions" || fail "Total PCI Devices shows '$seen', not $functions"
save_through_dialog r pci-info.txt "$work/reports/all.txt"
same_report "$work/reports/all.txt" "$work/native/all.txt"
echo "ok: the same as lumivar --from ${dump##*/} --report FILE but for the time ($functions devices)"
focus "$main_xid"
x key Escape
wait_exit main

# ---------------------------------------------------------------------------
step "8. uninstall.cmd, twice"
expect_run uninstall 0 uninstall.cmd
echo "$said" | sed 's/^/  /'
said_line "[2/4] stopped and deleted the kestrix service" || fail "uninstall.cmd did not delete the service"
wine sc query kestrix >/dev/null 2>&1 && fail "the kestrix service is still there"
wine reg query "$service_key" >/dev/null 2>&1 && fail "$service_key is still there"
[ ! -e "$installed_sys" ] || fail "system32\\drivers\\kestrix.sys is still there"
expect_run uninstall-again 0 uninstall.cmd
said_line "[2/4] no kestrix service" || fail "the second uninstall.cmd said:"$'\n'"$said"
echo "ok: service, key and file gone; a second run finds nothing to do"

# ---------------------------------------------------------------------------
step "9. a new lumivar.exe finds no driver"
main_pid=
start_app no-driver
answer_message says "driver removed" "$no_device"
wait_exit no-driver

echo "win-release: all steps passed in $((SECONDS - started)) s"
