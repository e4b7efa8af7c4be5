#!/usr/bin/env python3
"""Signs an S3 PutObject request with botocore's own Signature Version 4 signer.

Usage: botocore_sign.py ACCESS_KEY SECRET REGION AMZ_DATE HOST BODY ACL KEY...
The key is encoded for the path as botocore's S3 serializer does; the request carries the
headers our client sends (Host, Content-Length, Content-Type, x-amz-acl unless ACL is empty).
Prints, for each key, the path on one line and the Authorization header's value on the next.
"""
import datetime
import os
import sys
from unittest import mock

import botocore.auth
import botocore.credentials
import botocore.utils
from botocore.awsrequest import AWSRequest


def sign(access, secret, region, when, host, body, acl, key):
    # The key's bytes as given (any code page), as the request carries them.
    path = "/" + botocore.utils.percent_encode(os.fsencode(key), safe="/~")
    headers = {
        "Host": host,
        "Content-Length": str(len(body)),
        "Content-Type": "binary/octet-stream",
    }
    if acl:
        headers["x-amz-acl"] = acl
    request = AWSRequest(method="PUT", url="http://" + host + path, data=body, headers=headers)
    signer = botocore.auth.S3SigV4Auth(botocore.credentials.Credentials(access, secret), "s3", region)
    with mock.patch.object(botocore.auth, "get_current_datetime", return_value=when):
        signer.add_auth(request)
    return path, request.headers["Authorization"]


def main():
    access, secret, region, amz_date, host, body, acl = sys.argv[1:8]
    when = datetime.datetime.strptime(amz_date, "%Y%m%dT%H%M%SZ").replace(tzinfo=datetime.timezone.utc)
    for key in sys.argv[8:]:
        path, authorization = sign(access, secret, region, when, host, os.fsencode(body), acl, key)
        print(path)
        print(authorization)

if __name__ == "__main__":
    main()
