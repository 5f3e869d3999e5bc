"""LibreOffice headless, driven reliably: its own profile, batch conversions
(one start for many files), a time limit per batch with the whole process
group killed, and a retry file by file when a batch does not finish.

Run by Debian's /usr/bin/python3 (the one that has openpyxl)."""

import os
import shutil
import signal
import subprocess
import tempfile
import time

CSV_FILTER = 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,true,true,true,false,false,-1'

# Recalculate every formula when an OOXML file is loaded (0 = always), so
# that what LibreOffice shows for a formula is its own result and not the
# cached value the file carries.
RECALC_XCU = """<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="OOXMLRecalcMode" oor:op="fuse"><value>0</value></prop></item>
<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="ODFRecalcMode" oor:op="fuse"><value>0</value></prop></item>
%s</oor:items>
"""

# The locale LibreOffice formats numbers and dates in (decimal separator,
# month names): what a formula's number-to-text conversion depends on.
LOCALE_XCU = """<item oor:path="/org.openoffice.Setup/L10N"><prop oor:name="ooSetupSystemLocale" oor:op="fuse"><value>%s</value></prop></item>
"""


def soffice_binary():
    return os.environ.get('SOFFICE') or shutil.which('soffice') or shutil.which('libreoffice')


class LibreOffice:
    def __init__(self, work, recalc=False, timeout=120, locale=None):
        self.binary = soffice_binary()
        self.timeout = timeout
        self.profile = tempfile.mkdtemp(prefix='lo_profile.', dir=work)
        if recalc:
            user = os.path.join(self.profile, 'user')
            os.makedirs(user, exist_ok=True)
            with open(os.path.join(user, 'registrymodifications.xcu'), 'w') as f:
                f.write(RECALC_XCU % (LOCALE_XCU % locale if locale else ''))

    def close(self):
        shutil.rmtree(self.profile, ignore_errors=True)

    def _run(self, args, timeout):
        cmd = [self.binary, '-env:UserInstallation=file://' + self.profile, '--headless', '--invisible',
               '--norestore', '--nolockcheck', '--nologo', '--nodefault'] + args
        proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, start_new_session=True)
        try:
            out, _ = proc.communicate(timeout=timeout)
            return proc.returncode, out.decode('utf-8', 'replace')
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGTERM)
            time.sleep(2)
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            proc.communicate()
            return None, 'timed out after %ds' % timeout

    def to_csv(self, files, outdir):
        """Converts every file to one CSV per sheet (<stem>-<sheet>.csv) in
        outdir. Returns {file: None on success or the reason it failed}."""
        os.makedirs(outdir, exist_ok=True)
        results = {}
        if not files:
            return results
        rc, log = self._run(['--convert-to', CSV_FILTER, '--outdir', outdir] + list(files),
                            self.timeout + 5 * len(files))
        if rc is None and len(files) > 1:
            # One file hung the batch: find it by converting them one by one.
            for f in files:
                results.update(self.to_csv([f], outdir))
            return results
        for f in files:
            stem = os.path.splitext(os.path.basename(f))[0]
            produced = [n for n in os.listdir(outdir) if n.startswith(stem + '-') and n.endswith('.csv')]
            if produced:
                results[f] = None
            elif rc is None:
                results[f] = log
            else:
                lines = [l for l in log.splitlines() if l.strip() and 'javaldx' not in l]
                results[f] = 'no CSV written (rc=%s) %s' % (rc, ' '.join(lines)[:300])
        return results

    def to_xlsx(self, files, outdir):
        """Reads every file and writes it again as xlsx into outdir (same
        name): what LibreOffice understood of it, for another reader."""
        os.makedirs(outdir, exist_ok=True)
        rc, log = self._run(['--convert-to', 'xlsx:Calc MS Excel 2007 XML', '--outdir', outdir] + list(files),
                            self.timeout + 5 * len(files))
        return {f: None if os.path.exists(os.path.join(outdir, os.path.basename(f))) else
                'no xlsx written (rc=%s) %s' % (rc, log[:300]) for f in files}


if __name__ == '__main__':
    # lo_convert.py [--recalc] [--xlsx] OUTDIR FILE...: CSVs of every sheet
    # of each file in OUTDIR (--xlsx: the file written again as xlsx);
    # prints one line per file that failed, exits 1 then.
    import sys
    argv = sys.argv[1:]
    recalc = '--recalc' in argv
    xlsx = '--xlsx' in argv
    argv = [a for a in argv if a not in ('--recalc', '--xlsx')]
    if len(argv) < 2:
        sys.exit('usage: lo_convert.py [--recalc] OUTDIR FILE...')
    if not soffice_binary():
        print('LibreOffice (soffice) not found')
        sys.exit(77)
    work = tempfile.mkdtemp(prefix='lo_convert.')
    lo = LibreOffice(work, recalc=recalc)
    try:
        convert = lo.to_xlsx if xlsx else lo.to_csv
        failed = {f: e for f, e in convert(argv[1:], argv[0]).items() if e}
    finally:
        lo.close()
        shutil.rmtree(work, ignore_errors=True)
    for f, e in failed.items():
        print('%s: %s' % (f, e))
    sys.exit(1 if failed else 0)
