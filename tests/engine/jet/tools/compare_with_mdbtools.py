#!/usr/bin/env python3
# Compares every table of the sample files as the Jet reader sees it (through
# the jetdump tool) with what mdb-export prints for the same table: table
# lists, column names, row counts and every value in text form.
#
#   compare_with_mdbtools.py JETDUMP CORPUS_DIR [FILE ...]
#
# Known differences that are mdb-export's: long binary values print as
# nothing or stop at the first zero byte, and GUIDs lose a dash.
import csv, subprocess, sys, io, os, glob
csv.field_size_limit(10**9)
B=sys.argv[1]
D=sys.argv[2]
def run(a):
    return subprocess.run(a, capture_output=True).stdout.decode('utf-8','replace')
def unesc(s):
    if s == '\\N': return None
    out=[];i=0
    while i < len(s):
        if s[i]=='\\' and i+1<len(s):
            out.append({'t':'\t','n':'\n','r':'\r','\\':'\\'}[s[i+1]]); i+=2
        else: out.append(s[i]); i+=1
    return ''.join(out)
def norm(v):
    if v is None or v=='': return ''
    if v in ('True','true'): v='1'
    if v in ('False','false'): v='0'
    if v.startswith('7B') and v.endswith('7D'):
        try: return bytes.fromhex(v).decode()
        except: pass
    try:
        f=float(v); return repr(round(f, 6)) if abs(f)<1e15 else repr(f)
    except: return v.replace('\r\n','\n').upper() if all(c in '0123456789ABCDEFabcdef' for c in v) and len(v)>=2 else v.replace('\r\n','\n')
files = sys.argv[3:] or sorted(glob.glob(D+'/*.mdb'))
tot_ok=tot_bad=0
for f in files:
    pw = ['-p','password'] if 'with-password' in f else []
    tables = run(['mdb-tables','-S','-1',f]).split('\n')
    tables=[t for t in tables if t]
    mine_cat = run([B,f]+pw)
    mine_tables=[l.split('\t')[1] for l in mine_cat.split('\n') if l.startswith(('TABLE\t','SYSTEM\t'))]
    if sorted(tables)!=sorted(mine_tables):
        print(os.path.basename(f),'TABLE LIST DIFF', sorted(set(tables)^set(mine_tables)))
    for t in tables:
        if t not in mine_tables: continue
        mdb = run(['mdb-export','-T','%Y-%m-%d %H:%M:%S','-b','hex',f,t])
        rows_o = list(csv.reader(io.StringIO(mdb)))
        mine = subprocess.run([B,f]+pw+['-t',t], capture_output=True)
        if mine.returncode: print(os.path.basename(f),t,'ERROR',mine.stderr.decode()); tot_bad+=1; continue
        lines = mine.stdout.decode('utf-8','replace').split('\n')
        rows_m = [[unesc(x) for x in l.split('\t')] for l in lines if l!='']
        bad=0
        if len(rows_o)!=len(rows_m):
            print(os.path.basename(f),t,'ROWCOUNT',len(rows_o)-1,len(rows_m)-1); bad+=1
        if rows_o and rows_m and rows_o[0]!=rows_m[0]:
            print(os.path.basename(f),t,'HEADER',rows_o[0],rows_m[0]); bad+=1
        # compare as multisets of rows
        so=sorted(tuple(norm(x) for x in r) for r in rows_o[1:])
        sm=sorted(tuple(norm(x) for x in r) for r in rows_m[1:])
        # the oracle prints OLE values as nothing: blank those columns on both sides
        if so and sm and len(so[0])==len(sm[0]):
            blank=[i for i in range(len(so[0])) if all(r[i]=='' for r in so) and any(r[i]!='' for r in sm)]
            if blank:
                so=sorted(tuple('' if i in blank else x for i,x in enumerate(r)) for r in so)
                sm=sorted(tuple('' if i in blank else x for i,x in enumerate(r)) for r in sm)
        if so!=sm:
            bad+=1
            diff=0
            for a,b in zip(so,sm):
                if a!=b:
                    for i,(x,y) in enumerate(zip(a,b)):
                        if x!=y: print(os.path.basename(f),t,'VALUE col',rows_o[0][i] if i < len(rows_o[0]) else i,repr(x[:80]),repr(y[:80])); break
                    diff+=1
                    if diff>3: break
        if bad: tot_bad+=1
        else: tot_ok+=1
print('tables equal',tot_ok,'different',tot_bad)
