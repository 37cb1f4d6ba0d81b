#!/usr/bin/env python3
"""Every kind of document karrow-cli writes against docs/karrow-run.schema.json, and the schema
against documents with a renamed or missing key, which it must refuse."""

import copy
import json
import os
import subprocess
import sys
import tempfile

import jsonschema

CLI, SCHEMA = os.path.abspath(sys.argv[1]), sys.argv[2]

# One run per end state and answer the CLI can give, and a study's documents.
RUNS = {
    "finished": [],
    "classic only": ["--solver", "classic"],
    "network only": ["--solver", "network"],
    "resolution study": ["--solver", "network", "--resolution", "auto"],
    "network not converged": ["--solver", "network", "--flow-rate-per-channel=1e300"],
    "one outlet increment per channel": ["--number-of-channels=24", "--channel-width=0.2"],
    "inputs rejected": ["--lip-height=1..0"],
    "report not created": ["--output=no/such/folder.txt"],
    "not converged": ["--number-of-channels=5", "--channel-width=0.6", "--spiral-height=6"],
    "fault": ["--number-of-channels=1", "--spiral-height=4.26152", "--lip-height=1.7237",
              "--die-radius=22.4171", "--flow-rate-per-channel=16.5672",
              "--power-law-index=0.751057", "--standard-viscosity=18.2654",
              "--standard-shear-rate=66.4841", "--inlet-slit-height=0.0228604",
              "--outlet-slit-height=0.285531", "--inlet-channel-depth=1.8674",
              "--outlet-channel-depth=0.23161", "--channel-width=0.316155",
              "--total-increments=117"],
    "study": ["sweep", "--vary", "channel-width=1.0:1.2:2", "--jobs", "1", "--csv", "rows.csv"],
    "with a melt": ["--material", "ldpe-rao-carreau", "--thermal", "heated",
                    "--wall-temperature", "195", "--heat-transfer-coefficient", "300"],
    "study over the melt temperature": ["sweep", "--material", "ldpe-rao-carreau", "--vary",
                                        "melt-temperature=185:205:2", "--jobs", "1", "--csv",
                                        "rows.csv"],
}


def documents(folder):
    found = {}
    for name, arguments in RUNS.items():
        if os.path.exists(f"{folder}/run.json"):
            os.remove(f"{folder}/run.json")
        out = subprocess.run([CLI, *arguments, "--json", "run.json"], cwd=folder,
                             capture_output=True, text=True, check=False)
        with open(f"{folder}/run.json", encoding="utf-8") as text:
            lines = [line for line in text.read().splitlines() if line]
        if not lines:
            sys.exit(f"{name}: no document written (exit {out.returncode}): {out.stderr}")
        for k, line in enumerate(lines):
            found[f"{name} {k + 1}"] = json.loads(line)
    return found


def main():
    with open(SCHEMA, encoding="utf-8") as text:
        schema = json.load(text)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        docs = documents(folder)
    ends = {doc["end"] for doc in docs.values()}
    expected = {"finished", "network-solved", "network-not-converged", "inputs-rejected",
                "report-not-created", "not-converged", "fault"}
    if not expected <= ends:
        failures += 1
        print(f"end states not reached: {sorted(expected - ends)}")
    for name, doc in docs.items():
        for error in validator.iter_errors(doc):
            failures += 1
            print(f"{name}: {'/'.join(map(str, error.absolute_path))}: {error.message}")

    # The schema must notice what a script would trip over.
    finished = docs["finished 1"]

    def renamed(path, old, new):
        doc = copy.deepcopy(finished)
        parent = doc
        for key in path:
            parent = parent[key]
        parent[new] = parent.pop(old)
        return doc

    broken = {
        "increment key renamed": renamed(["report", "increments", 0], "node_mean_age_s",
                                         "residence_time_s"),
        "residence key renamed": renamed(["report", "residence"], "mean_s", "mean_residence_s"),
        "network figure renamed": renamed(["network", "outlet"], "cv_percent", "cv"),
        "verdict key renamed": renamed(["verdict"], "answer", "leading_answer"),
        "repeatability key renamed": renamed(["report", "repeatability"], "repeatable",
                                             "settled"),
    }
    for name, doc in broken.items():
        if validator.is_valid(doc):
            failures += 1
            print(f"the schema accepts a document with its {name}")
    print(f"{len(docs)} documents, {len(broken)} broken ones, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
