"""brenno-service as a child process on a port the system chooses, for tests written in Python:
the address and the operator's token come from the console address it prints."""
import signal
import subprocess
import urllib.parse

CONSOLE_LINE = "operator console at "


class ServiceProcess:
    def __init__(self, program, options):
        """Starts the service, its errors going to ours, and reads up to its console address;
        a caller bounds the wait with its own time limit. Raises RuntimeError when the service
        ends before printing it."""
        self.process = subprocess.Popen([program, "--port", "0"] + options,
                                        stdout=subprocess.PIPE, text=True)
        self.console_url = ""
        for line in self.process.stdout:
            if line.startswith(CONSOLE_LINE):
                self.console_url = line[len(CONSOLE_LINE):].strip()
                break
        if not self.console_url:
            self.stop()
            raise RuntimeError("brenno-service printed no console address (its errors above)")
        parts = urllib.parse.urlsplit(self.console_url)
        self.base_url = "%s://%s" % (parts.scheme, parts.netloc)
        self.console_path = parts.path
        self.token = urllib.parse.parse_qs(parts.fragment).get("token", [""])[0]

    def stop(self):
        """SIGTERM, then SIGKILL when it does not end in 10 s; the exit code."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
        return self.process.wait()
