"""The file manager on folder trees built from the Linux side (which can hold
names that differ only in case, and any file times), reached by Wine through
its Z: drive."""

import os
import pathlib
import time

import pytest

HOUR = 3600
DAY = 86400


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


@pytest.fixture
def file_manager(run_helper):
    """Runs one operation of tests/e2e/helpers/file_manager_driver.exe and
    returns its printed lines."""
    def run(command, *args):
        code, out, _ = run_helper("file_manager_driver", command, *args)
        assert code == 0, out
        return out.splitlines()
    return run


def make_tree(root, files):
    """files: relative path -> (size, age in seconds; negative: ahead of now)."""
    now = time.time()
    for relative, (size, age) in files.items():
        path = root / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(b"x" * size)
        os.utime(path, (now - age, now - age))


def remaining(root):
    return sorted(str(p.relative_to(root)) for p in root.rglob("*")) if root.exists() else None


CACHE = {
    "half-hour.bin": (1, HOUR // 2),
    "sub/two-hours.bin": (1, 2 * HOUR),
    "sub/deeper/three-days.bin": (1, 3 * DAY),
    "old/year.bin": (1, 400 * DAY),
    "ahead.bin": (1, -DAY),
}


@pytest.mark.parametrize("min_age, max_age, kept", [
    # Nothing inside the window: everything stays.
    (HOUR, HOUR + 60, CACHE.keys()),
    (HOUR, DAY, CACHE.keys() - {"sub/two-hours.bin"}),
    (0, 10 * DAY, {"old/year.bin", "ahead.bin"}),
    (0, 1000 * DAY, {"ahead.bin"}),
    (DAY, 1000 * DAY, {"half-hour.bin", "sub/two-hours.bin", "ahead.bin"}),
])
def test_purge_deletes_the_files_of_the_age_window_and_the_folders_left_empty(
        tmp_path, file_manager, min_age, max_age, kept):
    root = tmp_path / "cache"
    make_tree(root, CACHE)
    (root / "empty" / "emptier").mkdir(parents=True)
    assert file_manager("purge", windows_path(root), str(min_age), str(max_age)) == ["true"]
    folders = {str(pathlib.PurePosixPath(name).parent) for name in kept} - {"."}
    folders |= {str(pathlib.PurePosixPath(folder).parent) for folder in folders} - {"."}
    assert remaining(root) == sorted(set(kept) | folders)


def test_purge_removes_the_whole_tree_when_everything_went(tmp_path, file_manager):
    root = tmp_path / "cache"
    make_tree(root, {name: entry for name, entry in CACHE.items() if name != "ahead.bin"})
    assert file_manager("purge", windows_path(root), "0", str(1000 * DAY)) == ["true"]
    assert not root.exists()


def test_purge_of_a_missing_folder_fails(tmp_path, file_manager):
    assert file_manager("purge", windows_path(tmp_path / "missing"), "0", str(DAY)) == ["false"]


def test_size_of_a_tree(tmp_path, file_manager):
    root = tmp_path / "tree"
    make_tree(root, {"ten": (10, 0), "twenty": (20, 0), "sub/five": (5, 0)})
    assert file_manager("size", windows_path(root)) == ["35"]
    assert file_manager("size", windows_path(root / "twenty")) == ["20"]
    assert file_manager("size", windows_path(tmp_path / "missing")) == ["0"]
    big = tmp_path / "big"
    sizes = {f"level{n}/" * n + f"file{n}": (37 * n * n + 1, 0) for n in range(1, 12)}
    make_tree(big, sizes)
    assert file_manager("size", windows_path(big)) == [str(sum(size for size, _ in sizes.values()))]


@pytest.mark.parametrize("names, expected", [
    (["b", "a", "10", "9", "B"], ["B", "a", "b", "9", "10"]),
    (["-x", "..x", "007", "7x", "18446744073709551616", "18446744073709551615", "Grüße", "Z"],
     ["-x", "..x", "7x", "Grüße", "Z", "007", "18446744073709551615", "18446744073709551616"]),
])
def test_list_sorts_names_before_numbers(tmp_path, file_manager, names, expected):
    root = tmp_path / "list"
    root.mkdir()
    for name in names:
        (root / name).touch()
    (root / names[0]).unlink()
    (root / names[0]).mkdir()  # folders are listed like files
    assert file_manager("list", windows_path(root)) == expected


def test_list_of_a_missing_folder_is_empty(tmp_path, file_manager):
    assert file_manager("list", windows_path(tmp_path / "missing")) == []


def test_mkdir_creates_every_missing_parent(tmp_path, file_manager):
    parent = tmp_path / "a" / "b" / "c"
    assert file_manager("mkdir", windows_path(parent), "Nimbra Player") == ["true"]
    assert (parent / "Nimbra Player").is_dir()
    (tmp_path / "a" / "file").touch()
    assert file_manager("mkdir", windows_path(tmp_path / "a"), "file") == ["false"]


def test_delete_removes_a_tree_and_accepts_a_missing_path(tmp_path, file_manager):
    root = tmp_path / "tree"
    make_tree(root, CACHE)
    assert file_manager("delete", windows_path(root)) == ["true"]
    assert not root.exists()
    assert file_manager("delete", windows_path(root)) == ["true"]


def test_per_user_folders_lie_below_the_roaming_application_data(wine, file_manager):
    lines = dict(line.split(" ", 1) for line in file_manager("folders"))
    assert lines["separator"] == "\\"
    suffixes = {"asset-cache": r"\Orvane\Nimbra Player\AssetCache",
                "player-data": r"\Stelvan\Nimbra Player",
                "private-data": r"\Orvane\Nimbra Player\QTSPrivateData2"}
    for key, suffix in suffixes.items():
        assert lines[key].endswith(suffix), lines[key]
        app_data = lines[key][:-len(suffix)]
        assert app_data.startswith("C:\\users\\") and app_data.endswith("\\AppData\\Roaming"), app_data
        assert (wine.prefix / "drive_c" / app_data[3:].replace("\\", "/")).is_dir()
