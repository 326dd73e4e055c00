// The depth under a pixel and the plane under a touch through the binding, against the floor.
package org.solvo.support;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;

import java.io.DataOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.FloatBuffer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class GeometryTest {
  @AfterEach
  void restoreFlags() {
    FloorScene.restoreSeed();
  }

  @Test
  void depthUnderAFloorPixelLiesOnTheFloor() {
    try (PointCloud cloud = FloorScene.floor(0.5)) {
      float[] point =
          Geometry.depthAtPoint(cloud, FloorScene.INTRINSICS, FloorScene.IDENTITY, 0.5f, 0.75f);
      assertNotNull(point);
      assertEquals(1.5, point[1], 0.004);
      // Row 180 of the 240 is 60.5 rows below the centre: 1.5 m * 260 / 60.5 ahead.
      assertEquals(1.5 * 260.0 / 60.5, point[2], 0.02);
    }
  }

  @Test
  void depthIsNullWhereNoPointProjectsNearThePixel() {
    try (PointCloud cloud = FloorScene.floor(0.5)) {
      // Above the horizon there is no floor.
      assertNull(
          Geometry.depthAtPoint(cloud, FloorScene.INTRINSICS, FloorScene.IDENTITY, 0.5f, 0.2f));
    }
  }

  @Test
  void depthReadsThePointsWrittenThroughTheBufferSinceTheLastCall() {
    try (PointCloud cloud = new PointCloud(1)) {
      FloatBuffer xyz = cloud.points();
      xyz.put(0, 0f).put(1, 0f).put(2, 1f);
      cloud.setPointCount(1);
      float[] near =
          Geometry.depthAtPoint(cloud, FloorScene.INTRINSICS, FloorScene.IDENTITY, 0.5f, 0.5f);
      xyz.put(2, 2f);
      float[] far =
          Geometry.depthAtPoint(cloud, FloorScene.INTRINSICS, FloorScene.IDENTITY, 0.5f, 0.5f);
      assertEquals(1f, near[2]);
      assertEquals(2f, far[2]);
    }
  }

  @Test
  void touchOnTheFloorFindsTheFloorFacingTheCamera() {
    FloorScene.fixSeed(42);
    try (PointCloud cloud = FloorScene.floor(0.5)) {
      PlaneHit hit =
          Geometry.planeUnderTouch(cloud, FloorScene.INTRINSICS, FloorScene.IDENTITY, 0.5f, 0.75f);
      assertNotNull(hit);
      // y = 1.5 with its normal up, towards the camera: -y + 1.5 = 0.
      assertArrayEquals(new double[] {0, -1, 0, 1.5}, hit.plane(), 0.01);
      assertEquals(1.5, hit.point()[1], 0.01);
    }
  }

  @Test
  void touchIsNullWithoutPointsNearIt() {
    try (PointCloud cloud = FloorScene.floor(0.5)) {
      assertNull(
          Geometry.planeUnderTouch(cloud, FloorScene.INTRINSICS, FloorScene.IDENTITY, 0.5f, 0.02f));
    }
  }

  @Test
  void aFixedSeedGivesBitIdenticalPlanesAndAnotherSeedItsOwn() {
    try (PointCloud cloud = FloorScene.floor(0.5)) {
      FloorScene.fixSeed(42);
      double[] first = touch(cloud).plane();
      double[] second = touch(cloud).plane();
      FloorScene.fixSeed(7);
      double[] other = touch(cloud).plane();
      assertArrayEquals(first, second, 0.0);
      assertNotEquals(first, other);
    }
  }

  /** The cloud written through points() gives the C interface's plane, to the last bit. */
  @Test
  void aCloudFilledThroughItsBufferGivesTheCInterfacesPlane(@TempDir Path folder)
      throws IOException, InterruptedException {
    FloorScene.fixSeed(42);
    try (PointCloud cloud = FloorScene.floor(0.5)) {
      Path file = folder.resolve("cloud.bin");
      writeCloud(cloud, file);
      double[] c = cPlane(file, 42);
      PlaneHit hit = touch(cloud);
      double[] java = new double[7];
      System.arraycopy(hit.point(), 0, java, 0, 3);
      System.arraycopy(hit.plane(), 0, java, 3, 4);
      assertArrayEquals(c, java, 0.0);
    }
  }

  private static PlaneHit touch(PointCloud cloud) {
    return Geometry.planeUnderTouch(
        cloud, FloorScene.INTRINSICS, FloorScene.IDENTITY, 0.5f, 0.75f);
  }

  private static void assertNotEquals(double[] a, double[] b) {
    org.junit.jupiter.api.Assertions.assertFalse(java.util.Arrays.equals(a, b));
  }

  /** The point count, then x, y, z per point, in the machine's byte order. */
  private static void writeCloud(PointCloud cloud, Path file) throws IOException {
    int count = cloud.pointCount();
    ByteBuffer bytes = ByteBuffer.allocate(4 + 12 * count).order(ByteOrder.nativeOrder());
    bytes.putInt(count);
    FloatBuffer xyz = cloud.points();
    for (int i = 0; i < 3 * count; ++i) {
      bytes.putFloat(xyz.get(i));
    }
    Files.write(file, bytes.array());
  }

  /** The C helper's touched point and plane for the same cloud, intrinsics, touch and seed. */
  private static double[] cPlane(Path file, int seed) throws IOException, InterruptedException {
    CameraIntrinsics k = FloorScene.INTRINSICS;
    ProcessBuilder builder =
        new ProcessBuilder(
            System.getProperty("solvo.planeReference"),
            file.toString(),
            Integer.toString(k.width()),
            Integer.toString(k.height()),
            Double.toString(k.fx()),
            Double.toString(k.fy()),
            Double.toString(k.cx()),
            Double.toString(k.cy()),
            "0.5",
            "0.75",
            Integer.toString(seed));
    builder.redirectError(ProcessBuilder.Redirect.INHERIT);
    Process process = builder.start();
    String output;
    try (InputStream in = process.getInputStream()) {
      output = new String(in.readAllBytes(), StandardCharsets.UTF_8);
    }
    assertEquals(0, process.waitFor(), output);
    String[] words = output.trim().split("\\s+");
    assertEquals(7, words.length, output);
    double[] values = new double[7];
    for (int i = 0; i < 7; ++i) {
      values[i] = Double.parseDouble(words[i]);
    }
    return values;
  }
}
