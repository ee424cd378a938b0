#!/usr/bin/python3
# Stands in for kxd40ctl apply: records its command line and the desired
# settings file it was given (content and permissions) in $FAKE_RECORD,
# then answers as kxd40ctl does, with a secret in what it reports, or, for
# 127.0.0.99, with a usage error and no JSON at all, or, for 127.0.0.98,
# with a failure whose words quote a key the task was never given.
import json
import os
import stat
import sys

args = sys.argv[1:]
if args[2] == '127.0.0.99':
    sys.stderr.write('kxd40ctl: /nonexistent/site.txt: no such file\n')
    sys.exit(2)
if args[2] == '127.0.0.98':
    sys.stderr.write('kxd40ctl: 127.0.0.98: refused: at+wskey = WPA2PSK,AES,module-secret\n')
    print(json.dumps({'schema': 1, 'ip': args[2], 'action': 'apply', 'result': 'failed', 'data': {},
                      'error': 'not a value the module takes: sta.key = module-secret'}))
    sys.exit(1)
with open(args[1]) as f:
    content = json.load(f)
with open(os.environ['FAKE_RECORD'], 'w') as f:
    json.dump({'argv': args, 'path': args[1], 'mode': stat.S_IMODE(os.stat(args[1]).st_mode), 'desired': content}, f)
print(json.dumps({
    'schema': 1, 'ip': args[2], 'mac': 'ACCF23000009', 'id': 'KXD40-0009', 'action': 'apply',
    'result': 'done', 'error': None,
    'data': {'changed': True, 'check': '--check' in args, 'sent': ['AT+WSKEY=WPA2PSK,AES,new-secret'],
             'differences': [{'name': 'sta.key', 'module': 'old-secret', 'desired': 'new-secret'}],
             'lines': [{'line': 'AT+WSKEY=WPA2PSK,AES,new-secret', 'result': 'ok'}]}}))
