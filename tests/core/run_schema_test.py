#!/usr/bin/env python3
"""Every kind of document karrow-cli writes against docs/karrow-run.schema.json (runs, a study's
lines, design searches), and the schema against documents with a renamed or missing key, which
it must refuse."""

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

# Design searches, one pretty-printed document each: a plain one, a front, one whose limit no
# design keeps, and one judged with a real melt heated by its own flow (from a melt file).
OPTIMISE = ["optimise", "--jobs", "1", "--vary", "outlet-slit-height=0.05:0.3"]
OPTIMISE_RUNS = {
    "optimisation": [*OPTIMISE],
    "optimisation front": [*OPTIMISE, "--front", "3"],
    "optimisation infeasible": [*OPTIMISE, "--max-head-pressure", "1bar"],
    "optimisation melt": [*OPTIMISE, "--melt", "melt.json", "--melt-temperature", "230",
                          "--thermal", "heated", "--max-temperature-spread", "20K"],
}
MELT = {"format": "karrow-material", "version": 1, "name": "cross-test", "family": "PP",
        "viscosity": {"model": "cross", "eta0": 5000, "tau_star": 30000, "n": 0.3},
        "shift": {"model": "arrhenius", "activation_energy": 40000,
                  "reference_temperature": 220},
        "density": 740, "heat_capacity": 2700,
        "processing_temperature": {"low": 200, "high": 260}, "source": "test data"}


def optimisations(folder):
    with open(f"{folder}/melt.json", "w", encoding="utf-8") as melt:
        json.dump(MELT, melt)
    found = {}
    for name, arguments in OPTIMISE_RUNS.items():
        if os.path.exists(f"{folder}/search.json"):
            os.remove(f"{folder}/search.json")
        out = subprocess.run([CLI, *arguments, "--json", "search.json"], cwd=folder,
                             capture_output=True, text=True, check=False)
        if not os.path.exists(f"{folder}/search.json"):
            sys.exit(f"{name}: no document written (exit {out.returncode}): {out.stderr}")
        with open(f"{folder}/search.json", encoding="utf-8") as text:
            found[name] = json.load(text)
    return found


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
        searches = optimisations(folder)
    ends = {doc["end"] for doc in docs.values()}
    expected = {"finished", "network-solved", "network-not-converged", "inputs-rejected",
                "report-not-created", "not-converged", "fault"}
    if not expected <= ends:
        failures += 1
        print(f"end states not reached: {sorted(expected - ends)}")
    if searches["optimisation infeasible"]["feasible"] or "front" not in searches[
            "optimisation front"] or "melt" not in searches["optimisation melt"]:
        failures += 1
        print("the design searches are not the kinds they were run to be")
    for name, doc in [*docs.items(), *searches.items()]:
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
    search = searches["optimisation melt"]

    def spoiled(change):
        doc = copy.deepcopy(search)
        change(doc)
        return doc

    broken.update({
        "search figure renamed": spoiled(lambda d: d["best"]["figures"].update(
            cv=d["best"]["figures"].pop("cv_percent"))),
        "search limit renamed": spoiled(lambda d: d["limits"].update(
            spread_K=d["limits"].pop("temperature_spread_K"))),
        "search without its best design": spoiled(lambda d: d.pop("best")),
        "search melt without its network": spoiled(lambda d: d["melt"].pop("network")),
        "search of an unknown objective": spoiled(lambda d: d.update(objective="speed")),
        "search with a broken classic run": spoiled(lambda d: d["classic"].pop("end")),
    })
    for name, doc in broken.items():
        if validator.is_valid(doc):
            failures += 1
            print(f"the schema accepts a document with its {name}")
    print(f"{len(docs) + len(searches)} documents, {len(broken)} broken ones, "
          f"{failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
