#!/usr/bin/env python3
"""Prepares and inspects a local moto S3 server that checks signatures.

Usage:
  moto_s3.py setup ENDPOINT BUCKET     creates an IAM user allowed s3:*, its access key and the
                                       bucket (region ap-northeast-2); prints "KEY_ID SECRET"
  moto_s3.py head ENDPOINT KEY_ID SECRET BUCKET KEY
                                       prints the object's content type, size and canned grants
                                       ("public-read" when all users may read it)
  moto_s3.py keys ENDPOINT KEY_ID SECRET BUCKET
                                       prints the bucket's keys, one a line
The server must run with INITIAL_NO_AUTH_ACTION_COUNT=3: the three IAM calls of setup go
unsigned-checked, everything after them is checked against the key made here.
"""
import json
import sys

import boto3
from botocore.config import Config

REGION = "ap-northeast-2"
ALL_USERS = "http://acs.amazonaws.com/groups/global/AllUsers"


def client(service, endpoint, key_id="testing", secret="testing"):
    return boto3.client(service, endpoint_url=endpoint, region_name=REGION, aws_access_key_id=key_id,
                        aws_secret_access_key=secret, config=Config(s3={"addressing_style": "path"}))


def setup(endpoint, bucket):
    iam = client("iam", endpoint)
    iam.create_user(UserName="uploader")
    iam.put_user_policy(UserName="uploader", PolicyName="s3", PolicyDocument=json.dumps({
        "Version": "2012-10-17",
        "Statement": [{"Effect": "Allow", "Action": "s3:*", "Resource": "*"}],
    }))
    key = iam.create_access_key(UserName="uploader")["AccessKey"]
    s3 = client("s3", endpoint, key["AccessKeyId"], key["SecretAccessKey"])
    s3.create_bucket(Bucket=bucket, CreateBucketConfiguration={"LocationConstraint": REGION})
    print(key["AccessKeyId"], key["SecretAccessKey"])


def head(endpoint, key_id, secret, bucket, key):
    s3 = client("s3", endpoint, key_id, secret)
    meta = s3.head_object(Bucket=bucket, Key=key)
    grants = s3.get_object_acl(Bucket=bucket, Key=key)["Grants"]
    public = any(g["Grantee"].get("URI") == ALL_USERS and g["Permission"] == "READ" for g in grants)
    print(meta["ContentType"])
    print(meta["ContentLength"])
    print("public-read" if public else "private")


def keys(endpoint, key_id, secret, bucket):
    s3 = client("s3", endpoint, key_id, secret)
    for item in s3.list_objects_v2(Bucket=bucket).get("Contents", []):
        print(item["Key"])


if __name__ == "__main__":
    command, args = sys.argv[1], sys.argv[2:]
    {"setup": setup, "head": head, "keys": keys}[command](*args)
