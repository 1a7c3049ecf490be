"""brenno-service as a child process on a port the system chooses, for tests written in Python."""
import subprocess
import urllib.parse

CONSOLE_LINE = "operator console at "


class ServiceProcess:
    def __init__(self, program, options):
        """Its errors go to ours; a caller bounds the wait for the console address it prints."""
        self.process = subprocess.Popen([program, "--port", "0"] + options,
                                        stdout=subprocess.PIPE, text=True)
        console_url = next((line[len(CONSOLE_LINE):].strip() for line in self.process.stdout
                            if line.startswith(CONSOLE_LINE)), None)
        if not console_url:
            self.stop()
            raise RuntimeError("brenno-service printed no console address (its errors above)")
        parts = urllib.parse.urlsplit(console_url)
        self.base_url = "%s://%s" % (parts.scheme, parts.netloc)
        self.console_path = parts.path
        self.token = urllib.parse.parse_qs(parts.fragment).get("token", [""])[0]

    def stop(self):
        """SIGTERM, then SIGKILL when it does not end in 10 s; the exit code."""
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
        return self.process.wait()
