#!/usr/bin/env bash
# cmake --install puts the service, its README and a hardened systemd unit
# where the prefix says, and the unit starts the installed binary.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" --component zandle-service >/dev/null
fail() { echo "install test: $*" >&2; exit 1; }
[ -x "$prefix/bin/zandle-service" ] || fail "no binary"
"$prefix/bin/zandle-service" --help | grep -q -- '--token-file' || fail "the binary does not run"
[ -s "$prefix/share/doc/zandle-service/README.md" ] || fail "no README"
unit=$prefix/lib/systemd/system/zandle-service.service
[ -f "$unit" ] || fail "no unit"
for line in 'DynamicUser=yes' 'StateDirectory=zandle' 'ProtectSystem=strict' 'NoNewPrivileges=yes' \
            'LoadCredential=token:/etc/zandle/token' 'CapabilityBoundingSet=' 'ProtectHome=yes' 'PrivateTmp=yes'; do
  grep -qx "$line" "$unit" || fail "unit lacks $line"
done
grep -q "^ExecStart=$prefix/bin/zandle-service .*--token-file \${CREDENTIALS_DIRECTORY}/token" "$unit" ||
  fail "ExecStart does not start the installed binary with the credential"
grep -q -- '--store sqlite:/var/lib/zandle/' "$unit" || fail "the store is not in the state directory"
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify "$unit" || fail "systemd-analyze verify complains"
fi
echo "installed and verified under $prefix"
