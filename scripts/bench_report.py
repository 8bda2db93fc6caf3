"""Prints the benchmark medians with their ratio to the floor and to their goal."""
import json
import sys

# name -> goal in nanoseconds, or a factor of the floor (negative number).
GOALS = {
    "BM_ShiftClass_InvokeByDispid": -2.0,
    "BM_Create_clsShiftClass_ExistingDatabase": 2e6,
    "BM_Create_clsPassword_ExistingDatabase": 2e6,
    "BM_Create_clsShiftClass_EmptyFolder": 20e6,
    "BM_Create_clsPassword_EmptyFolder": 20e6,
    "BM_Store_LoginCheck": 5e6,
    "BM_Store_PasswordChange": 5e6,
    "BM_Store_SettingsSave": 5e6,
    "BM_Dialog_frmClassLoadShowUnload": 30e6,
}
UNIT = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def main(path):
    data = json.load(open(path))
    medians = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") == "median":
            medians[b["run_name"]] = b["real_time"] * UNIT[b["time_unit"]]
    floor = medians["BM_Floor_LocalClockReading"]
    print(f"{'benchmark':45} {'median':>12} {'x floor':>10} {'goal':>12}  verdict")
    for name, ns in medians.items():
        goal = GOALS.get(name)
        goal_ns = -goal * floor if goal is not None and goal < 0 else goal
        shown = f"{ns / 1e6:.3f} ms" if ns >= 1e5 else f"{ns:.1f} ns"
        goal_text = "" if goal_ns is None else (f"{-goal:.0f}x floor" if goal < 0 else f"{goal_ns / 1e6:.0f} ms")
        verdict = "" if goal_ns is None else ("met" if ns <= goal_ns else "MISSED")
        print(f"{name:45} {shown:>12} {ns / floor:>10.1f} {goal_text:>12}  {verdict}")


if __name__ == "__main__":
    main(sys.argv[1])
