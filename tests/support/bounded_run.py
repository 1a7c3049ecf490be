"""How the tests in Python end: within a time limit, a failure on one line "FAIL: reason" and exit
code 1, their processes stopped under a bound of their own."""
import signal
import subprocess
import sys


class Failure(Exception):
    pass


def _on_time_limit(signum, frame):
    raise Failure("time limit reached")


def run_bounded(time_limit, body, cleanup, failures=()):
    """Runs body() within time_limit seconds, then cleanup() within 15 s whatever happened; the
    exit code. failures: exception types besides the usual ones that are test failures too."""
    signal.signal(signal.SIGALRM, _on_time_limit)
    signal.alarm(time_limit)
    try:
        body()
        return 0
    except (Failure, OSError, subprocess.SubprocessError) + tuple(failures) as failure:
        # Selenium's messages carry the driver's stack below their first line.
        print("FAIL: %s" % (str(failure).strip().splitlines() or ["?"])[0], file=sys.stderr)
        return 1
    finally:
        signal.alarm(15)
        try:
            cleanup()
        finally:
            signal.alarm(0)
