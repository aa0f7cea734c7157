<?xml version="1.0" encoding="UTF-8"?>
<!-- Shared by the search sheets: the folded query, the result limit and the result elements
     the client reads (package/packageName; class/className, packageName; method/methodName, signature). -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" encoding="UTF-8" indent="yes"/>

  <xsl:param name="qtarget" select="''"/>
  <xsl:param name="packagename" select="''"/>
  <xsl:param name="classname" select="''"/>
  <xsl:param name="methodname" select="''"/>

  <xsl:variable name="upper" select="'ABCDEFGHIJKLMNOPQRSTUVWXYZ'"/>
  <xsl:variable name="lower" select="'abcdefghijklmnopqrstuvwxyz'"/>
  <xsl:variable name="q" select="translate(normalize-space($qtarget), $upper, $lower)"/>
  <!-- Answers stay small enough for a tree; the closest names come first. -->
  <xsl:variable name="limit" select="1000"/>

  <xsl:template name="results">
    <xsl:param name="hits"/>
    <searchresults technology="{/index/@technology}{/package/@technology}" count="{count($hits)}">
      <xsl:if test="count($hits) &gt; $limit">
        <xsl:attribute name="truncated">true</xsl:attribute>
      </xsl:if>
      <xsl:for-each select="$hits">
        <!-- A method's key is its name group's. -->
        <xsl:sort select="string-length(@key | ../self::methodname/@key)" data-type="number"/>
        <xsl:sort select="@key | ../self::methodname/@key"/>
        <xsl:if test="position() &lt;= $limit">
          <xsl:apply-templates select="." mode="hit"/>
        </xsl:if>
      </xsl:for-each>
    </searchresults>
  </xsl:template>

  <!-- An index entry of a class or interface. -->
  <xsl:template match="class" mode="hit">
    <class>
      <className><xsl:value-of select="@name"/></className>
      <packageName><xsl:value-of select="@package"/></packageName>
      <kind><xsl:value-of select="@kind"/></kind>
    </class>
  </xsl:template>

  <!-- An index entry of a method (grouped under its name), answered as its class with the method inside. -->
  <xsl:template match="methodname/method" mode="hit">
    <class>
      <className><xsl:value-of select="@class"/></className>
      <packageName><xsl:value-of select="@package"/></packageName>
      <kind><xsl:value-of select="@kind"/></kind>
      <method>
        <methodName><xsl:value-of select="../@name"/></methodName>
        <signature><xsl:value-of select="@signature"/></signature>
      </method>
    </class>
  </xsl:template>

  <xsl:template match="package" mode="hit">
    <package>
      <packageName><xsl:value-of select="@name"/></packageName>
    </package>
  </xsl:template>
</xsl:stylesheet>
