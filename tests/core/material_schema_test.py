"""The shipped grades and a melt file that karrow-cli fit-melt writes match the material schema,
and the schema refuses a misspelt constant (so that it keeps saying what the reader reads)."""
import copy
import json
import pathlib
import subprocess
import sys
import tempfile

import jsonschema

cli, schema_path, library = sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
schema = json.loads(schema_path.read_text())
validator = jsonschema.Draft202012Validator(schema)
failures = 0

def check(name, document, valid=True):
    global failures
    errors = list(validator.iter_errors(document))
    if bool(errors) == valid:
        failures += 1
        print(f"FAIL {name}: " + ("; ".join(e.message for e in errors) if errors else "accepted"))

grades = sorted(library.glob("*.json"))
if not grades:
    failures += 1
    print("FAIL: no shipped grades")
for path in grades:
    document = json.loads(path.read_text())
    check(path.name, document)
    spoilt = copy.deepcopy(document)
    spoilt["viscosity"]["eta_0"] = 1
    check(path.name + " with viscosity.eta_0", spoilt, valid=False)

with tempfile.TemporaryDirectory() as folder:
    data = pathlib.Path(folder) / "lab.csv"
    rows = ["T,rate,eta"]
    for t, shift in ((190, 1.6), (210, 1.0), (230, 0.65)):
        for rate in (0.1, 1, 10, 100, 1000):
            rows.append(f"{t},{rate},{6000 * shift / (1 + (6000 * shift * rate / 25000) ** 0.68)}")
    data.write_text("\n".join(rows) + "\n")
    melt = pathlib.Path(folder) / "lab.json"
    subprocess.run([cli, "fit-melt", str(data), "--model", "cross", "--output", str(melt)],
                   check=True, cwd=folder, capture_output=True)
    check("fit-melt's file", json.loads(melt.read_text()))

print("material schema:", "failed" if failures else "passed")
sys.exit(1 if failures else 0)
